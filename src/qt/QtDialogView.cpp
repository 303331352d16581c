// Qt widgets for the dialog model: one widget per control at its template
// place, user input written into the model as it happens, and model changes
// mirrored onto the widgets through the dialog's change observer.
#include "QtDialogView.h"

#include "QtLanguage.h"

#include "framework/PropertySheet.h"
#include "framework/StringTable.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QVBoxLayout>

#include <QRegularExpression>

#include <algorithm>
#include <exception>

namespace zenqt {

namespace {

QString Q(const CString& text)
{
    return QString::fromUtf8(text.GetString(), text.GetLength());
}

CString Z(const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    return CString(bytes.constData(), static_cast<int>(bytes.size()));
}

// Caption without mnemonic markers.
QString PlainCaption(const CString& text)
{
    QString caption = Q(text);
    caption.remove(QRegularExpression(QStringLiteral("&(?!&)")));
    return caption;
}

bool IsFocusable(const CControlWnd& control)
{
    switch (control.GetKind()) {
    case ZenControlKind::Edit:
    case ZenControlKind::CheckBox:
    case ZenControlKind::ComboBox:
    case ZenControlKind::DateTimePicker:
    case ZenControlKind::PushButton:
        return true;
    default:
        return false;
    }
}

void RunGuarded(const std::function<void()>& handler)
{
    try {
        handler();
    } catch (const std::exception& error) {
        ShowException(error.what());
    } catch (...) {
        ShowException(zenqt::HostText("Unexpected error").toUtf8().constData());
    }
}

COleDateTime WithDate(const COleDateTime& time, const QDate& date)
{
    return COleDateTime(date.year(), date.month(), date.day(), time.GetHour(), time.GetMinute(), time.GetSecond());
}

} // namespace

void ShowException(const char* text)
{
    QMessageBox box(QMessageBox::Critical, QStringLiteral("ZEN"), QString::fromUtf8(text), QMessageBox::Ok,
                    QApplication::activeModalWidget());
    box.setObjectName(QStringLiteral("zen-messagebox"));
    box.exec();
}

DluScale DluScale::ForWidget(const QWidget& widget)
{
    const QFontMetrics metrics(widget.font());
    static const QString sample = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    DluScale scale;
    scale.baseX = (metrics.horizontalAdvance(sample) / 26 + 1) / 2;
    scale.baseY = metrics.height();
    if (scale.baseX < 1)
        scale.baseX = 1;
    if (scale.baseY < 1)
        scale.baseY = 1;
    return scale;
}

// --- ControlBinder -----------------------------------------------------------

ControlBinder::ControlBinder(CDialog& model, QWidget& container, const DluScale& scale,
                             std::function<void()> afterCommand)
    : m_model(model), m_container(container), m_scale(scale), m_afterCommand(std::move(afterCommand))
{
    Build();
    m_model.SetChangeObserver([this](CWnd& wnd, ZenWndChange what) { Mirror(wnd, what); });
}

ControlBinder::~ControlBinder()
{
    m_model.SetChangeObserver(nullptr);
}

void ControlBinder::Guarded(const std::function<void()>& handler)
{
    RunGuarded(handler);
}

void ControlBinder::Build()
{
    std::vector<QWidget*> order;
    std::vector<QWidget*> groups;
    std::vector<std::pair<QLabel*, size_t>> labels;  // label -> index into order of its buddy
    for (int i = 0; i < m_model.GetControlCount(); ++i) {
        CControlWnd& control = *m_model.GetControlAt(i);
        QWidget* widget = MakeWidget(control);
        m_widgets[&control] = widget;
        MirrorAll(control, *widget);
        if (control.GetKind() == ZenControlKind::GroupBox)
            groups.push_back(widget);
        if (auto* label = dynamic_cast<QLabel*>(widget); label != nullptr && control.GetWindowText().Find('&') >= 0)
            labels.emplace_back(label, order.size());
        if (IsFocusable(control))
            order.push_back(widget);
    }
    // Frames stay behind the controls they surround.
    for (QWidget* group : groups)
        group->lower();
    // A label's mnemonic moves to the next input, as on the platform.
    for (const auto& [label, index] : labels) {
        if (index < order.size())
            label->setBuddy(order[index]);
    }
    for (size_t i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

QWidget* ControlBinder::MakeWidget(CControlWnd& control)
{
    QWidget* widget = nullptr;
    const int id = control.GetDlgCtrlID();
    switch (control.GetKind()) {
    case ZenControlKind::Static: {
        auto* label = new QLabel(&m_container);
        label->setTextFormat(Qt::PlainText);
        label->setWordWrap(control.GetWindowRect().Height() > 12);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        widget = label;
        break;
    }
    case ZenControlKind::GroupBox:
        widget = new QGroupBox(&m_container);
        break;
    case ZenControlKind::Edit: {
        auto* edit = new QLineEdit(&m_container);
        auto& model = static_cast<CEdit&>(control);
        if ((control.GetStyle() & ES_PASSWORD) != 0)
            edit->setEchoMode(QLineEdit::Password);
        if ((control.GetStyle() & ES_READONLY) != 0)
            edit->setReadOnly(true);
        if ((control.GetStyle() & ES_NUMBER) != 0)
            edit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
        QObject::connect(edit, &QLineEdit::textEdited, edit, [this, &model](const QString& text) {
            Guarded([&] {
                m_pFromWidget = &model;
                model.InputText(Z(text));
                m_pFromWidget = nullptr;
            });
        });
        widget = edit;
        break;
    }
    case ZenControlKind::PushButton: {
        auto* button = new QPushButton(&m_container);
        button->setAutoDefault(false);
        if ((control.GetStyle() & BS_DEFPUSHBUTTON) != 0 || id == IDOK)
            button->setDefault(true);
        QObject::connect(button, &QPushButton::clicked, button, [this, id] {
            Guarded([&] { m_model.ClickDlgButton(id); });
            m_afterCommand();
        });
        widget = button;
        break;
    }
    case ZenControlKind::CheckBox: {
        auto* box = new QCheckBox(&m_container);
        auto& model = static_cast<CButton&>(control);
        QObject::connect(box, &QCheckBox::clicked, box, [this, &model, id](bool checked) {
            Guarded([&] {
                m_pFromWidget = &model;
                model.SetCheck(checked ? BST_CHECKED : BST_UNCHECKED);
                m_pFromWidget = nullptr;
                m_model.OnCommand(static_cast<UINT>(id));
            });
            m_afterCommand();
        });
        widget = box;
        break;
    }
    case ZenControlKind::ComboBox: {
        auto* combo = new QComboBox(&m_container);
        auto& model = static_cast<CComboBox&>(control);
        const bool editable = (control.GetStyle() & 0x000Fu) == CBS_DROPDOWN;
        combo->setEditable(editable);
        combo->setInsertPolicy(QComboBox::NoInsert);
        QObject::connect(combo, &QComboBox::activated, combo, [this, &model](int index) {
            Guarded([&] {
                m_pFromWidget = &model;
                model.SetCurSel(index);
                m_pFromWidget = nullptr;
            });
        });
        if (editable) {
            QObject::connect(combo, &QComboBox::editTextChanged, combo, [this, &model](const QString& text) {
                Guarded([&] {
                    m_pFromWidget = &model;
                    model.InputText(Z(text));
                    m_pFromWidget = nullptr;
                });
            });
        }
        widget = combo;
        break;
    }
    case ZenControlKind::DateTimePicker: {
        auto* box = new QWidget(&m_container);
        auto* layout = new QHBoxLayout(box);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(2);
        auto& model = static_cast<CDateTimeCtrl&>(control);
        if ((control.GetStyle() & DTS_SHOWNONE) != 0) {
            auto* check = new QCheckBox(box);
            check->setObjectName(QString::number(id) + QStringLiteral(".check"));
            layout->addWidget(check);
            QObject::connect(check, &QCheckBox::clicked, check, [this, &model, box](bool checked) {
                Guarded([&] {
                    if (!checked) {
                        model.SetTime(static_cast<const CTime*>(nullptr));
                        return;
                    }
                    COleDateTime time;
                    model.GetTime(time);
                    time.SetStatus(COleDateTime::valid);
                    const auto* dateEdit = box->findChild<QDateEdit*>();
                    model.SetTime(WithDate(time, dateEdit->date()));
                });
            });
        }
        auto* dateEdit = new QDateEdit(box);
        dateEdit->setObjectName(QString::number(id) + QStringLiteral(".date"));
        dateEdit->setCalendarPopup(true);
        dateEdit->setDisplayFormat(QStringLiteral("dd/MM/yyyy"));
        dateEdit->setDate(QDate::currentDate());
        layout->addWidget(dateEdit, 1);
        QObject::connect(dateEdit, &QDateEdit::dateChanged, dateEdit, [this, &model](const QDate& date) {
            Guarded([&] {
                COleDateTime time;
                model.GetTime(time);
                time.SetStatus(COleDateTime::valid);
                model.SetTime(WithDate(time, date));
            });
        });
        widget = box;
        break;
    }
    }
    if (id != IDC_STATIC)
        widget->setObjectName(QString::number(id));
    return widget;
}

void ControlBinder::MirrorAll(CControlWnd& control, QWidget& widget)
{
    const QSignalBlocker block(&widget);
    const CRect& rect = control.GetWindowRect();
    widget.setGeometry(m_scale.X(rect.left), m_scale.Y(rect.top), m_scale.X(rect.Width()), m_scale.Y(rect.Height()));
    widget.setVisible(control.IsWindowVisible() != FALSE);
    widget.setEnabled(control.IsWindowEnabled() != FALSE);
    const QString text = Q(control.GetWindowText());
    switch (control.GetKind()) {
    case ZenControlKind::Static:
        static_cast<QLabel&>(widget).setText(text);
        break;
    case ZenControlKind::GroupBox:
        static_cast<QGroupBox&>(widget).setTitle(PlainCaption(control.GetWindowText()));
        break;
    case ZenControlKind::Edit: {
        auto& edit = static_cast<QLineEdit&>(widget);
        const int limit = static_cast<int>(static_cast<CEdit&>(control).GetLimitText());
        // A text set by the program may be longer than what the user may type.
        edit.setMaxLength(std::max({limit, static_cast<int>(text.size()), 1}));
        if (edit.text() != text)
            edit.setText(text);
        break;
    }
    case ZenControlKind::PushButton:
        static_cast<QPushButton&>(widget).setText(text);
        break;
    case ZenControlKind::CheckBox: {
        auto& box = static_cast<QCheckBox&>(widget);
        box.setText(text);
        box.setChecked(static_cast<CButton&>(control).GetCheck() == BST_CHECKED);
        break;
    }
    case ZenControlKind::ComboBox: {
        auto& combo = static_cast<QComboBox&>(widget);
        auto& model = static_cast<CComboBox&>(control);
        bool same = combo.count() == model.GetCount();
        for (int i = 0; same && i < model.GetCount(); ++i)
            same = combo.itemText(i) == Q(model.GetLBText(i)) &&
                   combo.itemData(i).toULongLong() == static_cast<qulonglong>(model.GetItemData(i));
        if (!same) {
            combo.clear();
            for (int i = 0; i < model.GetCount(); ++i)
                combo.addItem(Q(model.GetLBText(i)), QVariant::fromValue(static_cast<qulonglong>(model.GetItemData(i))));
        }
        combo.setCurrentIndex(model.GetCurSel());
        if (combo.isEditable() && combo.currentText() != text)
            combo.setEditText(text);
        break;
    }
    case ZenControlKind::DateTimePicker: {
        auto& picker = static_cast<CDateTimeCtrl&>(control);
        COleDateTime time;
        picker.GetTime(time);
        const bool hasDate = picker.HasDate() != FALSE;
        auto* check = widget.findChild<QCheckBox*>();
        auto* dateEdit = widget.findChild<QDateEdit*>();
        const QSignalBlocker blockCheck(check);
        const QSignalBlocker blockDate(dateEdit);
        if (check != nullptr)
            check->setChecked(hasDate);
        dateEdit->setEnabled(hasDate);
        if (hasDate)
            dateEdit->setDate(QDate(time.GetYear(), time.GetMonth(), time.GetDay()));
        break;
    }
    }
}

void ControlBinder::Mirror(CWnd& wnd, ZenWndChange what)
{
    if (&wnd == &m_model) {
        auto* dialog = qobject_cast<QDialog*>(&m_container);
        if (what == ZenWndChange::Text && dialog != nullptr)
            dialog->setWindowTitle(PlainCaption(m_model.GetCaption()));
        // A dialog that changes its size; a sheet sizes itself by its pages.
        const CRect& size = m_model.GetWindowRect();
        if (what == ZenWndChange::Place && size.Width() > 0 && size.Height() > 0 && m_model.GetControlCount() > 0)
            m_container.setFixedSize(m_scale.X(size.Width()), m_scale.Y(size.Height()));
        return;
    }
    if (&wnd == m_pFromWidget)
        return;
    const auto it = m_widgets.find(&wnd);
    if (it == m_widgets.end())
        return;
    if (what == ZenWndChange::Focus) {
        it->second->setFocus();
        return;
    }
    MirrorAll(static_cast<CControlWnd&>(wnd), *it->second);
}

void ControlBinder::PlaceFocus(bool hostChooses)
{
    if (!hostChooses && m_model.GetFocusCtrl() != nullptr) {
        const auto it = m_widgets.find(m_model.GetFocusCtrl());
        if (it != m_widgets.end()) {
            QWidget* target = it->second;
            if (auto* dateEdit = target->findChild<QDateEdit*>())
                target = dateEdit;
            target->setFocus();
            return;
        }
    }
    for (int i = 0; i < m_model.GetControlCount(); ++i) {
        CControlWnd& control = *m_model.GetControlAt(i);
        if (IsFocusable(control) && control.GetKind() != ZenControlKind::PushButton && control.IsWindowVisible() &&
            control.IsWindowEnabled()) {
            m_widgets[&control]->setFocus();
            return;
        }
    }
}

// --- DialogView --------------------------------------------------------------

DialogView::DialogView(CDialog& model, QWidget* parent) : QDialog(parent), m_model(model)
{
    setModal(true);
    setWindowTitle(PlainCaption(model.GetCaption()));
    if (auto* sheet = dynamic_cast<CPropertySheet*>(&model)) {
        setObjectName(QStringLiteral("dialog-sheet"));
        BuildSheet(*sheet);
    } else {
        setObjectName(QStringLiteral("dialog-") + QString::number(model.GetTemplateId()));
        BuildDialog();
    }
}

DialogView::~DialogView()
{
    m_binders.clear();
}

void DialogView::BuildDialog()
{
    const DluScale scale = DluScale::ForWidget(*this);
    const CRect& size = m_model.GetWindowRect();
    setFixedSize(scale.X(size.Width()), scale.Y(size.Height()));
    m_binders.push_back(std::make_unique<ControlBinder>(m_model, *this, scale, [this] { CheckEnded(); }));
}

void DialogView::BuildSheet(CPropertySheet& sheet)
{
    const DluScale scale = DluScale::ForWidget(*this);
    auto* layout = new QVBoxLayout(this);
    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("tabs"));
    layout->addWidget(m_tabs);
    // The sheet itself has no controls; its binder mirrors the caption.
    m_binders.push_back(std::make_unique<ControlBinder>(sheet, *this, scale, [this] { CheckEnded(); }));
    for (int i = 0; i < sheet.GetPageCount(); ++i) {
        CPropertyPage& page = *sheet.GetPage(i);
        auto* pageWidget = new QWidget;
        pageWidget->setObjectName(QStringLiteral("page-") + QString::number(page.GetTemplateId()));
        const CRect& size = page.GetWindowRect();
        pageWidget->setFixedSize(scale.X(size.Width()), scale.Y(size.Height()));
        m_binders.push_back(std::make_unique<ControlBinder>(page, *pageWidget, scale, [this] { CheckEnded(); }));
        m_tabs->addTab(pageWidget, PlainCaption(page.GetCaption()));
    }
    m_tabs->setCurrentIndex(sheet.GetActiveIndex());
    QObject::connect(m_tabs, &QTabWidget::currentChanged, this, [this, &sheet](int index) {
        bool accepted = false;
        RunGuarded([&] { accepted = sheet.SetActivePage(index) != FALSE; });
        if (!accepted) {
            const QSignalBlocker block(m_tabs);
            m_tabs->setCurrentIndex(sheet.GetActiveIndex());
        }
    });
    auto* buttons = new QDialogButtonBox(this);
    buttons->setObjectName(QStringLiteral("buttons"));
    // The sheet's own buttons: the shipped texts, or Qt's standard ones in the
    // chosen language.
    const bool shipped = ShowsShippedTexts();
    QPushButton* ok = shipped ? buttons->addButton(QStringLiteral("Aceptar"), QDialogButtonBox::AcceptRole)
                              : buttons->addButton(QDialogButtonBox::Ok);
    ok->setObjectName(QString::number(IDOK));
    QPushButton* cancel = shipped ? buttons->addButton(QStringLiteral("Cancelar"), QDialogButtonBox::RejectRole)
                                  : buttons->addButton(QDialogButtonBox::Cancel);
    cancel->setObjectName(QString::number(IDCANCEL));
    layout->addWidget(buttons);
    QObject::connect(ok, &QPushButton::clicked, this, [this] {
        RunGuarded([&] { m_model.OnCommand(IDOK); });
        CheckEnded();
    });
    QObject::connect(cancel, &QPushButton::clicked, this, [this] { reject(); });
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void DialogView::CheckEnded()
{
    if (m_model.HasEnded())
        done(m_model.GetModalResult());
}

void DialogView::reject()
{
    // Escape and closing the window are the Cancel command.
    RunGuarded([&] { m_model.OnCommand(IDCANCEL); });
    CheckEnded();
}

void DialogView::accept()
{
    // Enter without a default button is the OK command.
    RunGuarded([&] { m_model.OnCommand(IDOK); });
    CheckEnded();
}

INT_PTR DialogView::Run(bool hostPlacesFocus)
{
    if (m_tabs != nullptr) {
        // Binder 0 is the sheet's own; page i has binder i + 1.
        const size_t active = static_cast<size_t>(m_tabs->currentIndex() + 1);
        if (active > 0 && active < m_binders.size())
            m_binders[active]->PlaceFocus(true);
    } else if (!m_binders.empty()) {
        m_binders.front()->PlaceFocus(hostPlacesFocus);
    }
    if (m_model.HasEnded())
        return m_model.GetModalResult();
    exec();
    return m_model.HasEnded() ? m_model.GetModalResult() : -1;
}

} // namespace zenqt
