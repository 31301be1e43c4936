#include "settings/devmode/locale_defaults.h"

#include "settings/items/store.h"

namespace {

constexpr DWORD kPaperLetter = 1;
constexpr DWORD kPaperA4 = 9;

}  // namespace

DWORD SysGetCountryDigit() {
  WCHAR country[16];
  if (GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_ICOUNTRY, country, 16) == 0) return 0;
  switch (country[0]) {
    case WCH('1'):
    case WCH('2'):
    case WCH('5'):
      return static_cast<DWORD>(country[0] - WCH('0'));
    default:
      return 0;
  }
}

void DmSetCountryDefaults(DriverContext* context) {
  if (!context || !context->work) return;
  const DWORD digit = SysGetCountryDigit();
  LocaleDefaults& locale = context->work->locale;
  locale.countryDigit = digit;
  locale.inchUnits = digit != 0 ? 1 : 0;
  locale.paperSize = digit != 0 ? kPaperLetter : kPaperA4;
  OptSetValue(context, kItemLocaleID, digit);
}
