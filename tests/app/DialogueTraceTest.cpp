#include <gtest/gtest.h>
#include <pwd.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "app/DialogueTrace.h"
#include "tests/support/Files.h"

namespace t720 {
namespace {

TEST(DialogueTrace, RotatesAtItsLimitKeepingAFewOlderFiles) {
    QTemporaryDir dir;
    ASSERT_TRUE(DialogueTrace::Start(dir.path().toStdString(), {400, 2}));
    for (int i = 0; i < 60; ++i)
        TraceSent(TraceLink::T720Serial, "K1A " + std::to_string(i) + "\r\n\"\\\x01");
    DialogueTrace::Stop();
    TraceSent(TraceLink::T720Serial, "not recorded");

    const QString base = dir.filePath(DialogueTrace::kFileName);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 3);
    int last = -1;
    for (const QString& name : {base + ".2", base + ".1", base}) {
        const QByteArray text = test::ReadFile(name);
        EXPECT_LE(text.size(), 400) << name.toStdString();
        EXPECT_TRUE(text.startsWith("# t720 dialogue trace, ")) << name.toStdString();
        // Every file goes on where the one before it ended; the oldest were dropped.
        const int first = text.mid(text.indexOf("K1A ") + 4).split('\\')[0].toInt();
        EXPECT_EQ(first, last < 0 ? first : last + 1) << name.toStdString();
        EXPECT_GT(first, 0);
        const QByteArray lastLine = text.trimmed().split('\n').last();
        last = lastLine.mid(lastLine.indexOf("K1A ") + 4).split('\\')[0].toInt();
        EXPECT_TRUE(lastLine.contains(" t720-com > \"K1A ")) << lastLine.toStdString();
        EXPECT_TRUE(lastLine.endsWith("\\r\\n\\\"\\\\\\x01\"")) << lastLine.toStdString();
    }
    EXPECT_EQ(last, 59);
}

// Another user on the machine must not be able to make the program write through
// a link of theirs, nor find the trace or its folders open to them.
TEST(DialogueTrace, IsTheUsersAloneWhateverTheUmaskAndNeverWrittenThroughALink) {
    const QByteArray home = qgetenv("HOME"), state = qgetenv("XDG_STATE_HOME");
    unsetenv("HOME");
    unsetenv("XDG_STATE_HOME");
    const std::string fallback = DefaultTraceDirectory().string();
    setenv("HOME", home.constData(), 1);
    setenv("XDG_STATE_HOME", state.constData(), 1);
    EXPECT_EQ(fallback, std::string(getpwuid(getuid())->pw_dir) + "/.local/state/ZORTorT720");

    QTemporaryDir dir;
    const test::ScopedUmask open(0);
    ASSERT_TRUE(DialogueTrace::Start(dir.filePath("a/b").toStdString()));
    DialogueTrace::Stop();
    EXPECT_EQ(test::Mode(dir.filePath("a")), 0700);
    EXPECT_EQ(test::Mode(dir.filePath("a/b")), 0700);
    EXPECT_EQ(test::Mode(dir.filePath("a/b/") + DialogueTrace::kFileName), 0600);

    const QString victim = dir.filePath("victim");
    ASSERT_TRUE(test::WriteFile(victim, "mine\n"));
    QDir().mkpath(dir.filePath("link"));
    ASSERT_EQ(symlink(victim.toLocal8Bit(), dir.filePath("link/t720-dialogue.log").toLocal8Bit()),
              0);
    EXPECT_FALSE(DialogueTrace::Start(dir.filePath("link").toStdString()));
    EXPECT_EQ(test::ReadFile(victim), "mine\n");
    if (getuid() != 0) return;  // a folder of another user can be made only as root
    QDir().mkpath(dir.filePath("theirs"));
    ASSERT_EQ(chown(dir.filePath("theirs").toLocal8Bit(), 65534, 65534), 0);
    EXPECT_FALSE(DialogueTrace::Start(dir.filePath("theirs").toStdString()));
    EXPECT_NE(DialogueTrace::Problem().find("belongs to another user"), std::string::npos);
}

// A full disk (here: a file size limit) loses records, but never leaves a torn one
// that the next would be glued to; the trace says how many were lost, and the
// operator is told once when it begins and once when it ends.
TEST(DialogueTrace, AFullDiskLosesWholeRecordsAndSaysHowMany) {
    QTemporaryDir dir;
    std::vector<std::string> notices;
    DialogueTrace::SetNotice([&](const std::string& n) { notices.push_back(n); });
    ASSERT_TRUE(DialogueTrace::Start(dir.path().toStdString()));
    const QString file = dir.filePath(DialogueTrace::kFileName);
    signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    const rlimit full{static_cast<rlim_t>(QFileInfo(file).size() + 100), limit.rlim_max};
    setrlimit(RLIMIT_FSIZE, &full);
    for (int i = 0; i < 10; ++i) TraceSent(TraceLink::T720Serial, "K1A 0 5 1 " + std::to_string(i));
    setrlimit(RLIMIT_FSIZE, &limit);
    TraceSent(TraceLink::T720Serial, "K1B after");
    DialogueTrace::Stop();
    DialogueTrace::SetNotice({});

    const QList<QByteArray> lines = test::ReadFile(file).split('\n');
    ASSERT_EQ(lines.size(), 6)
        << test::ReadFile(file).data();  // header, 2 records, the loss, 1 record, ""
    const QRegularExpression record(R"(^\d+\.\d{6} t720-com > "K1[AB] [^"]*"$)");
    for (int i : {1, 2, 4}) EXPECT_TRUE(record.match(lines[i]).hasMatch()) << lines[i].data();
    EXPECT_TRUE(lines[3].startsWith("# 8 lines lost from ")) << lines[3].data();
    EXPECT_TRUE(lines[3].endsWith(": File too large")) << lines[3].data();
    EXPECT_EQ(notices, (std::vector<std::string>{
                           "Dialogue trace is losing lines: File too large",
                           "Dialogue trace written again; 8 lines were lost: File too large"}));
}

}  // namespace
}  // namespace t720
