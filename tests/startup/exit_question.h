#pragma once

// Watches for the exit question while a test closes the window, records what
// it looked like and answers it the way a user would.
#include <QAbstractButton>
#include <QPushButton>
#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QTest>
#include <QElapsedTimer>
#include <QTimer>

#include <functional>

struct ExitQuestion {
    bool asked = false;
    QString text;
    QString title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    QMessageBox::StandardButton escapeButton = QMessageBox::NoButton;
    bool applicationModal = false;
    bool ownerShown = false;  // the main window was visible when the question came
};

enum class Answer { Enter, Escape, Yes };

class ExitQuestionAnswerer : public QObject {
public:
    // owner is the main window; whileAsked runs with the question on screen.
    ExitQuestionAnswerer(QWidget* owner, Answer answer, std::function<void()> whileAsked = {})
        : owner_(owner), answer_(answer), whileAsked_(std::move(whileAsked))
    {
        poll_.setInterval(20);
        QObject::connect(&poll_, &QTimer::timeout, this, [this] { look(); });
        poll_.start();
        deadline_.start();
    }

    const ExitQuestion& question() const { return question_; }

private:
    void look()
    {
        QWidget* const modal = QApplication::activeModalWidget();
        auto* const box = qobject_cast<QMessageBox*>(modal);
        if (!box) {
            // Never leave a test hanging on a question it did not expect to look like this.
            if (modal && deadline_.elapsed() > 10000)
                modal->close();
            return;
        }
        poll_.stop();
        question_.asked = true;
        question_.text = box->text();
        question_.title = box->windowTitle();
        question_.icon = box->icon();
        question_.buttons = box->standardButtons();
        question_.defaultButton = box->standardButton(box->defaultButton());
        question_.escapeButton = box->standardButton(box->escapeButton());
        question_.applicationModal = box->windowModality() == Qt::ApplicationModal;
        question_.ownerShown = owner_ && owner_->isVisible();
        if (whileAsked_)
            whileAsked_();
        switch (answer_) {
        case Answer::Enter:
            QTest::keyClick(box, Qt::Key_Return);
            break;
        case Answer::Escape:
            QTest::keyClick(box, Qt::Key_Escape);
            break;
        case Answer::Yes:
            box->button(QMessageBox::Yes)->click();
            break;
        }
    }

    QPointer<QWidget> owner_;
    Answer answer_;
    std::function<void()> whileAsked_;
    QTimer poll_;
    QElapsedTimer deadline_;
    ExitQuestion question_;
};
