// The Qt user interface host: modal QDialogs for the dialog models, QMessageBox
// for message boxes, and the one-call installation for applications.
#include "qt/QtUIHost.h"

#include "DisplayProbe.h"
#include "QtDialogView.h"
#include "QtLanguage.h"

#include "framework/AppProfile.h"
#include "framework/CDialog.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

namespace {

bool HasWidgetApplication()
{
    return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
}

QMessageBox::Icon IconOf(UINT style)
{
    switch (style & MB_ICONMASK) {
    case MB_ICONERROR:
        return QMessageBox::Critical;
    case MB_ICONWARNING:
        return QMessageBox::Warning;
    case MB_ICONQUESTION:
        return QMessageBox::Question;
    case MB_ICONINFORMATION:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

struct ButtonSpec {
    QMessageBox::StandardButton button;
    const char* text;
    int answer;
};

// The buttons of a style in the platform's order, with the station's shipped
// Spanish texts (shown when no language is chosen; otherwise Qt's standard
// texts in the chosen language).
std::vector<ButtonSpec> ButtonsOf(UINT style)
{
    const ButtonSpec ok{QMessageBox::Ok, "Aceptar", IDOK};
    const ButtonSpec cancel{QMessageBox::Cancel, "Cancelar", IDCANCEL};
    const ButtonSpec yes{QMessageBox::Yes, "Sí", IDYES};
    const ButtonSpec no{QMessageBox::No, "No", IDNO};
    const ButtonSpec retry{QMessageBox::Retry, "Reintentar", IDRETRY};
    const ButtonSpec abort{QMessageBox::Abort, "Anular", IDABORT};
    const ButtonSpec ignore{QMessageBox::Ignore, "Omitir", IDIGNORE};
    switch (style & MB_TYPEMASK) {
    case MB_OKCANCEL:
        return {ok, cancel};
    case MB_ABORTRETRYIGNORE:
        return {abort, retry, ignore};
    case MB_YESNOCANCEL:
        return {yes, no, cancel};
    case MB_YESNO:
        return {yes, no};
    case MB_RETRYCANCEL:
        return {retry, cancel};
    case MB_OK:
    default:
        return {ok};
    }
}

std::unique_ptr<CQtUIHost> g_host;
QApplication* g_ownApplication = nullptr;
// QApplication keeps argc and argv for its whole life.
int g_argc = 1;
char g_arg0[] = "zen";
char g_platformOption[] = "-platform";
char g_wayland[] = "wayland";
char* g_argv[] = {g_arg0, nullptr, nullptr, nullptr};

} // namespace

int CQtUIHost::MessageBox(const CString& text, UINT style)
{
    if (!HasWidgetApplication())
        return CDefaultUIHost().MessageBox(text, style);
    zenqt::FollowLanguage();
    QMessageBox box(QApplication::activeModalWidget());
    box.setObjectName(QStringLiteral("zen-messagebox"));
    box.setWindowTitle(QString::fromUtf8(AfxGetApp()->GetAppName().GetString()));
    box.setText(QString::fromUtf8(text.GetString(), text.GetLength()));
    box.setIcon(IconOf(style));
    const std::vector<ButtonSpec> specs = ButtonsOf(style);
    const bool shipped = zenqt::ShowsShippedTexts();
    for (const ButtonSpec& spec : specs) {
        QPushButton* button = box.addButton(spec.button);
        if (shipped)
            button->setText(QString::fromUtf8(spec.text));
    }
    box.setDefaultButton(specs.front().button);
    // Escape answers Cancel, else No, else the only button; Abort/Retry/Ignore
    // needs a real choice.
    for (QMessageBox::StandardButton escape : {QMessageBox::Cancel, QMessageBox::No}) {
        if (box.button(escape) != nullptr) {
            box.setEscapeButton(escape);
            break;
        }
    }
    if (specs.size() == 1)
        box.setEscapeButton(specs.front().button);
    box.exec();
    const QMessageBox::StandardButton clicked = box.standardButton(box.clickedButton());
    for (const ButtonSpec& spec : specs) {
        if (spec.button == clicked)
            return spec.answer;
    }
    return CDefaultUIHost::DefaultAnswer(style);
}

INT_PTR CQtUIHost::RunModal(CDialog& dlg)
{
    if (!HasWidgetApplication())
        return CDefaultUIHost().RunModal(dlg);
    zenqt::FollowLanguage();
    const BOOL hostPlacesFocus = dlg.OnInitDialog();
    if (dlg.HasEnded())
        return dlg.GetModalResult();
    {
        zenqt::DialogView view(dlg, QApplication::activeModalWidget());
        view.Run(hostPlacesFocus != FALSE);
    }
    return CDefaultUIHost::CancelDialog(dlg);
}

bool ZenInstallQtUIHost()
{
    if (QCoreApplication::instance() == nullptr) {
        // Qt aborts the process when its platform cannot connect; a display
        // that does not answer is refused here instead.
        const std::optional<std::string> platform = zenqt::ChooseQtPlatform();
        if (!platform)
            return false;
        g_argc = 1;
        if (*platform == "wayland") {
            g_argv[g_argc++] = g_platformOption;
            g_argv[g_argc++] = g_wayland;
        }
        g_argv[g_argc] = nullptr;
        g_ownApplication = new QApplication(g_argc, g_argv);
    } else if (!HasWidgetApplication()) {
        return false;
    }
    zenqt::FollowLanguage();
    if (!g_host)
        g_host = std::make_unique<CQtUIHost>();
    SetUIHost(g_host.get());
    return true;
}

void ZenUninstallQtUIHost()
{
    if (g_host && GetUIHost() == g_host.get())
        SetUIHost(nullptr);
    delete g_ownApplication;
    g_ownApplication = nullptr;
}
