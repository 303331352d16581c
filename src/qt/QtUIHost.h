// The Qt 6 Widgets user interface host: every dialog of the library becomes a
// real modal QDialog (a property sheet a tabbed one), message boxes become
// QMessageBox. Applications install it with one call; no Qt header is needed
// to do so.
#pragma once

#include "framework/UIHost.h"

// Shows dialog models and message boxes with Qt widgets. Needs a QApplication
// on the calling (user interface) thread while it runs.
//
// Widgets carry the control id as objectName ("43000"); a date picker is a
// container of that name holding a QCheckBox (when it can hold no date) and
// a QDateEdit. The QDialog is named "dialog-<template id>" (a sheet
// "dialog-sheet"), a message box "zen-messagebox". Changes of the model
// (texts, visibility, enabled state, items, dates, caption) show at once;
// user input goes into the model as it is typed. An exception that escapes a
// dialog's handler is shown in an error box (Qt cannot carry it through its
// event loop) and the dialog stays open.
class CQtUIHost : public CUIHost {
public:
    int MessageBox(const CString& text, UINT style) override;
    INT_PTR RunModal(CDialog& dlg) override;
};

// Installs a process-wide CQtUIHost (SetUIHost). Creates a QApplication when
// none exists; returns false, installing nothing, when a non-widget
// application object exists or when no display answers: none of
// QT_QPA_PLATFORM, DISPLAY, WAYLAND_DISPLAY is set, or the X server or
// Wayland compositor they name accepts no connection (Qt would end the
// process). A platform that needs no display (QT_QPA_PLATFORM=offscreen or
// minimal) always counts. Calling it again is harmless.
bool ZenInstallQtUIHost();

// Restores the default host and deletes the QApplication that
// ZenInstallQtUIHost created (if it did).
void ZenUninstallQtUIHost();
