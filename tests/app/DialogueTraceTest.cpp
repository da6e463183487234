#include <gtest/gtest.h>

#include <QDir>
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

}  // namespace
}  // namespace t720
