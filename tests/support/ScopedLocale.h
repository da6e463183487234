// A default locale for the texts of one test, undone at its end.
#pragma once

#include <QLocale>

namespace t720::test {

class ScopedLocale {
  public:
    explicit ScopedLocale(const QLocale& locale) { QLocale::setDefault(locale); }
    ~ScopedLocale() { QLocale::setDefault(saved_); }

  private:
    QLocale saved_;
};

}  // namespace t720::test
