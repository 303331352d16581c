// Message catalogues: the texts a person reads, in the operator's language.
// Catalogues are GNU gettext .mo files, one per text domain and language
// (<locale folder>/<language>/LC_MESSAGES/<domain>.mo); without a catalogue,
// or without an entry in it, the text given by the caller is shown as it is.
#pragma once

#include "framework/CString.h"

#include <vector>

// Text domains of the library and of the command-line tool.
inline constexpr const char* kZenTextDomain = "zendatabase";
inline constexpr const char* kZendbTextDomain = "zendb";

// The text of msgid (in context msgctxt, nullptr for none) in the catalogue of
// domain for the chosen languages, tried in order; msgid itself when no
// catalogue has it. The result stays valid for the life of the process.
// Never throws; an unreadable or damaged catalogue counts as missing.
const char* ZenTranslate(const char* domain, const char* msgctxt, const char* msgid);

// Whether the catalogue of domain for exactly this language (a catalogue
// folder name such as "es") holds a non-empty translation of msgid in
// context msgctxt (nullptr for none); false when there is no such catalogue.
// Lets a check prove that a catalogue is complete.
bool ZenCatalogueHasEntry(const char* domain, const CString& language, const char* msgctxt, const char* msgid);

// Fixes the language for this process ("es", "en_GB", a gettext LANGUAGE-
// style list "es:en", or "C" for the shipped texts); an empty text returns
// to following the environment. The station configuration's choice is
// applied through this.
void ZenSetLanguage(const CString& language);

// The languages texts are looked up in, most preferred first, as gettext
// chooses them: the language fixed with ZenSetLanguage; otherwise, when the
// message locale (the first set of LC_ALL, LC_MESSAGES, LANG) is neither
// unset nor C/POSIX, the list in LANGUAGE or else that locale's name. Each
// name is tried whole (without codeset), then as language_TERRITORY, then as
// language. Empty: the shipped texts. The named locales need not be
// installed: only the catalogues are read.
std::vector<CString> ZenGetLanguages();

// Folder the catalogues are read from: ZEN_LOCALEDIR when set; otherwise the
// build tree's folder when the library runs from its build tree, else the
// installed locale folder relative to the library's own location.
CString ZenGetLocaleDir();
