// The six values the program keeps between runs, in section "Properties" of the
// per-user settings store, and the care taken with that file: a damaged file is
// copied aside before it is rewritten, an unreadable one is never overwritten, and
// the operator is told when the values cannot be kept.
#pragma once

#include <QSettings>
#include <cstdint>
#include <memory>
#include <string>

#include "app/SharedState.h"

namespace t720 {

struct StoredProperties {
    int32_t RangeIdx = 1;
    int32_t ChannelNo = 0;
    int32_t SignFlag = 0;
    int32_t ProzStep = 0;
    int16_t ComIncr = 0;
    int32_t LinkType = 1;
};

class SettingsFile {
  public:
    // Opens the per-user store (OpenSettingsStore) or, for tests, a given one.
    SettingsFile();
    explicit SettingsFile(std::unique_ptr<QSettings> store);

    // The stored values, with defaults for missing keys and for texts that are not
    // numbers, fractions rounded half to even, and each value brought into the range its control allows:
    // range 1..6, channel 0..15 (the panel caps it further), sign 0 or 1, percent
    // step 0..10, second port 0..7, link 1..3.
    StoredProperties Load();

    // Writes the six values, in the order Connection, T720Range, T720Chann, T720Signe,
    // T720Proze, T720COMxincr. False when they could not be kept.
    bool Save(const SharedState& s);

    // A switch outside "Properties" (key "Section/Name"): 0, "false" or "off" is
    // off, any other whole number, "true" or "on" is on; missing or anything else
    // gives `fallback`.
    bool Flag(const char* key, bool fallback);

    // What the operator should know about the file ("" when all is well).
    const std::string& Note() const { return note_; }
    QString Path() const { return store_->fileName(); }

  private:
    std::unique_ptr<QSettings> store_;
    bool unreadable_ = false;
    std::string note_;
};

// Reads a stored number as a whole number: optional blanks and sign, decimal
// digits with at most one decimal point or comma, blanks; rounded half to even.
// nullopt for anything else or a rounded value outside [lo, hi].
std::optional<int64_t> StoredWholeNumber(const QString& text, int64_t lo, int64_t hi);

}  // namespace t720
