// The language of the Qt host: Qt's own texts (standard buttons, context
// menus, date editors) follow the library's chosen language through Qt's
// translation catalogues, and the host's own texts through the library's.
#pragma once

#include <QString>

namespace zenqt {

// Installs in the running application the translator of Qt's own texts for
// the first of the chosen languages (ZenGetLanguages) for which Qt ships a
// catalogue (qtbase_<language>.qm in Qt's translations folder), replacing the
// one installed before; removes it when no language has one. Cheap when the
// choice has not changed; needs a QCoreApplication (does nothing without).
void FollowLanguage();

// Whether no language is chosen: the host then shows its shipped texts
// ("Aceptar", "Cancelar", ...) where otherwise Qt's translated standard
// texts appear.
bool ShowsShippedTexts();

// A text of the host itself in the chosen language (catalogue context
// "window"), as a QString.
QString HostText(const char* text);

} // namespace zenqt
