#pragma once
// The program's own modal boxes answered as a person answers them, for the window tests that
// run with the real Qt dialogs.

#include "link/link.h"

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPrintDialog>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

namespace kaldor::testing {

// Answers the program's modal boxes in turn. A message gets OK; a question or a file dialog
// takes the next planned answer: "Yes" or "No", a path to fill in and accept, or "Cancel".
// Each box is read on the tick after it is first seen, so whatever its event loop delivers
// meanwhile has run.
class ModalAnswerer : public QObject {
public:
    ModalAnswerer(const Link& link, QStringList answers)
        : m_link(link), m_answers(std::move(answers))
    {
        connect(&m_timer, &QTimer::timeout, this, &ModalAnswerer::look);
        m_timer.start(20);
    }

    // "message: …", "question: …" with the box's text; "save: …", "open: …", "folder: …",
    // "print: …" with the dialog's title.
    QStringList shown;

private:
    QString nextAnswer() { return m_answers.isEmpty() ? QString() : m_answers.takeFirst(); }

    void look()
    {
        QWidget* modal = QApplication::activeModalWidget();
        // A question may come while the link waits for its answer (a write that would remove
        // tanks); anything else is answered once the exchange has reported.
        auto* box = qobject_cast<QMessageBox*>(modal);
        const bool question = box && box->button(QMessageBox::Yes);
        if (!modal || (m_link.isBusy() && !question)) {
            m_seen = nullptr;
            return;
        }
        if (modal != m_seen) {
            m_seen = modal;
            return;
        }
        m_seen = nullptr;
        // From the event loop rather than this timer's tick, so that a box the answer opens
        // (the file dialog's own questions) is answered too.
        QTimer::singleShot(0, modal, [this, modal] { answer(modal); });
    }

    void answer(QWidget* modal)
    {
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            if (!box->button(QMessageBox::Yes)) {
                shown.append(QStringLiteral("message: ") + box->text());
                box->button(QMessageBox::Ok)->click();
                return;
            }
            shown.append(QStringLiteral("question: ") + box->text());
            const QString answer = nextAnswer();
            box->button(answer == QLatin1String("Yes") ? QMessageBox::Yes : QMessageBox::No)
                ->click();
        } else if (auto* files = qobject_cast<QFileDialog*>(modal)) {
            shown.append((files->acceptMode() == QFileDialog::AcceptSave ? QStringLiteral("save: ")
                          : files->fileMode() == QFileDialog::Directory
                              ? QStringLiteral("folder: ")
                              : QStringLiteral("open: ")) +
                         files->windowTitle());
            const QString answer = nextAnswer();
            if (answer.isEmpty() || answer == QLatin1String("Cancel")) {
                files->reject();
                return;
            }
            auto* name = files->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            name->setText(answer);
            QTest::keyClick(name, Qt::Key_Return);
        } else if (qobject_cast<QPrintDialog*>(modal)) {
            shown.append(QStringLiteral("print: ") + modal->windowTitle());
            nextAnswer();
            static_cast<QDialog*>(modal)->reject();
        } else {
            shown.append(QStringLiteral("unknown: ") +
                         QLatin1String(modal->metaObject()->className()));
            modal->close();
        }
    }

    const Link& m_link;
    QStringList m_answers;
    QTimer m_timer;
    QPointer<QWidget> m_seen;
};

} // namespace kaldor::testing
