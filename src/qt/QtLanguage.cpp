// Qt's translator for the chosen language, found under Qt's own
// translations folder, so that a new language needs no file of ours beyond
// the library's catalogue.
#include "QtLanguage.h"

#include "framework/Translation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QPointer>
#include <QTranslator>

#include <memory>

namespace zenqt {

namespace {

// The installed translator, the application it went into (an application
// made again after one was deleted starts without it) and the language list
// it was chosen for; all belong to the application's thread.
std::unique_ptr<QTranslator> g_translator;
QPointer<QCoreApplication> g_application;
QString g_chosenFor;

QString LanguageKey(const std::vector<CString>& languages)
{
    QString key;
    for (const CString& language : languages)
        key += QString::fromUtf8(language.GetString()) + QLatin1Char(':');
    return key;
}

} // namespace

void FollowLanguage()
{
    QCoreApplication* application = QCoreApplication::instance();
    if (application == nullptr)
        return;
    const std::vector<CString> languages = ZenGetLanguages();
    const QString key = LanguageKey(languages);
    if (g_application == application && key == g_chosenFor)
        return;
    if (g_translator) {
        if (g_application == application)
            QCoreApplication::removeTranslator(g_translator.get());
        g_translator.reset();
    }
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    for (const CString& language : languages) {
        auto translator = std::make_unique<QTranslator>();
        if (translator->load(QStringLiteral("qtbase_") + QString::fromUtf8(language.GetString()), folder)) {
            QCoreApplication::installTranslator(translator.get());
            g_translator = std::move(translator);
            break;
        }
    }
    g_chosenFor = key;
    g_application = application;
}

bool ShowsShippedTexts()
{
    return ZenGetLanguages().empty();
}

QString HostText(const char* text)
{
    return QString::fromUtf8(ZenTranslate(kZenTextDomain, "window", text));
}

} // namespace zenqt
