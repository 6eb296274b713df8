#pragma once
// The program's dialogs: QMessageBox, QFileDialog (files and folders) and QPrintDialog, each run
// modally over its parent. A parent destroyed while its dialog runs takes the dialog with it: the
// dialog ends with the safe answer (No, Cancel) and the caller must not touch the parent
// afterwards.

#include "ui/dialogs.h"

namespace kaldor {

class QtDialogs : public Dialogs {
public:
    void message(QWidget* parent, const QString& text) override;
    Answer question(QWidget* parent, const Question& q) override;
    std::optional<QString> saveFileName(QWidget* parent, const FileDialog& d) override;
    std::optional<QString> openFileName(QWidget* parent, const FileDialog& d) override;
    std::optional<QString> folderName(QWidget* parent, const FileDialog& d) override;
    bool print(QWidget* parent, QPrinter& printer) override;
};

} // namespace kaldor
