// The C runtime locale that element names are case-folded with. Windows has the
// runtime's _create_locale family; the native build maps the same three calls
// onto their POSIX equivalents here and nowhere else.
#pragma once

#include <ctype.h>
#include <locale.h>

#ifdef _WIN32
using TagLocale = _locale_t;

// The user's default locale and ANSI code page, or null when it cannot be made.
inline TagLocale CreateTagLocale() { return _create_locale(LC_ALL, ""); }
// A null locale means the process's current one, as the runtime itself does.
inline int IsLowerInLocale(int c, TagLocale locale) { return _islower_l(c, locale); }
inline int ToUpperInLocale(int c, TagLocale locale) { return _toupper_l(c, locale); }
#else
using TagLocale = locale_t;

inline TagLocale CreateTagLocale() { return newlocale(LC_ALL_MASK, "", static_cast<locale_t>(0)); }
// POSIX leaves a null locale_t undefined, so fall back to the current locale by hand.
inline int IsLowerInLocale(int c, TagLocale locale) { return locale ? islower_l(c, locale) : islower(c); }
inline int ToUpperInLocale(int c, TagLocale locale) { return locale ? toupper_l(c, locale) : toupper(c); }
#endif
