// The windows without a mouse and in German: a whole copy between two
// virtual Android phones driven by Tab, Space, Enter and Esc alone, with the
// German translation installed (its screenshots are the German pictures of
// the windows); and every control that takes the focus named for screen
// readers through Qt's accessibility interface.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLocale>
#include <QTest>

#include "MyPushButton.h"
#include "PasswordDialog.h"
#include "QtMyThread.h"
#include "TransferDataProgress.h"
#include "UserItemWidget.h"
#include "companlateDialog.h"
#include "gui_support.h"
#include "kestrovaMainWidget.h"
#include "lab_window.h"
#include "startup.h"

namespace {

constexpr int kPhoneBoundMs = 180000;
constexpr int kCopyBoundMs = 300000;

QStringList contactsOf(const QJsonObject& dump) {
    QStringList texts;
    for (const QJsonValue& v : dump.value("contacts").toArray()) {
        QJsonObject record = v.toObject();
        record.remove("person");
        texts << QString::fromUtf8(QJsonDocument(record).toJson(QJsonDocument::Compact));
    }
    texts.sort();
    return texts;
}

// A key as the user types it: to whatever has the focus.
void press(Qt::Key key) {
    QWidget* target = QApplication::focusWidget();
    ASSERT_NE(target, nullptr);
    QTest::keyClick(target, key);
}

// Presses Tab until the focus is on target; false when a whole round of the
// window's controls passes without reaching it.
bool tabTo(QWidget* target) {
    for (int i = 0; i < 60 && QApplication::focusWidget() != target; ++i) {
        QWidget* at = QApplication::focusWidget();
        QTest::keyClick(at ? at : QApplication::activeWindow(), Qt::Key_Tab);
    }
    return QApplication::focusWidget() == target;
}

// The German translation for the test's life, then English again.
struct German {
    German() {
        installed = installTranslations(QStringLiteral(KESTROVA_BIN_DIR "/translations"),
                                        QLocale(QLocale::German, QLocale::Germany));
    }
    ~German() { installTranslations(QString(), QLocale(QLocale::English)); }
    bool installed = false;
};

// Every control of root's tree that Tab can reach, however hidden now,
// except the parts a drop-down list makes for itself.
QList<QWidget*> focusable(QWidget* root) {
    QList<QWidget*> out;
    QList<QWidget*> all = root->findChildren<QWidget*>();
    all.prepend(root);
    for (QWidget* w : all) {
        bool insideCombo = false;
        for (QWidget* up = w->parentWidget(); up; up = up->parentWidget())
            insideCombo = insideCombo || qobject_cast<QComboBox*>(up);
        if (!insideCombo && (w->focusPolicy() & Qt::TabFocus))
            out << w;
    }
    return out;
}

} // namespace

TEST(MainWindowKeyboard, WholeCopyInGermanWithKeysAlone) {
    guitest::app(); // its start-up installs the system's language: German after it
    German german;
    ASSERT_TRUE(german.installed);
    LabWindow t({"--android", "2", "--seed", "31"}, "keyboard-german");
    ASSERT_TRUE(t.ready()) << t.error().toStdString();
    KestrovaMainWidget* window = t.open();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    ASSERT_TRUE(guitest::waitFor([&] { return t.enabled("startCopyButton"); }, kPhoneBoundMs));
    const int source = t.labPhone(window->sourceId());
    const int destination = t.labPhone(window->destinationId());
    ASSERT_GE(source, 0);
    ASSERT_GE(destination, 0);
    ASSERT_EQ(t.lab().lab("fill", {"--phone", QString::number(source), "--records", "6"}).exitCode,
              0);
    EXPECT_EQ(t.text("sourceConnectedMark"), "Verbunden");
    t.shot("1-main-window");

    // A guidance page as the user meets it, in German.
    QWidget* page = t.widget("usbDebugPage");
    page->show();
    page->raise();
    t.shot("2-guidance-usb-debugging");
    page->hide();

    // Contacts only: SMS, calls and calendar (ticked by default) off with Space.
    auto tile = [&](int kind) {
        return t.window()
            ->findChild<UserItemWidget*>(QStringLiteral("category%1").arg(kind))
            ->pictureButton();
    };
    for (int kind : {1, 2, 3}) {
        ASSERT_TRUE(tabTo(tile(kind))) << kind;
        press(Qt::Key_Space);
    }
    for (int kind = 0; kind < 8; ++kind)
        EXPECT_EQ(tile(kind)->isChecked(), kind == 0) << kind;

    QString completion;
    int questions = 0;
    t.answerModals([&](QDialog* d) {
        d->show();
        d->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(d));
        auto* dialog = qobject_cast<CompleteDialog*>(d);
        if (!dialog) // the progress window: left open, the keys drive it
            return 0;
        if (dialog->mode() == CompleteDialog::CancelQuestion) {
            ++questions;
            t.shot("4-cancel-question", d);
            // The focus is on "Weiter kopieren": Enter keeps the copy going.
            press(Qt::Key_Return);
            return dialog->result();
        }
        if (dialog->mode() != CompleteDialog::Completed)
            return 0;
        completion = dialog->text();
        t.shot("5-completion", d);
        press(Qt::Key_Return);
        return dialog->result();
    });
    ASSERT_TRUE(tabTo(t.widget("startCopyButton")));
    press(Qt::Key_Enter);
    TransferProgressWidget* progress = window->progressWindow();
    ASSERT_TRUE(progress->isVisible());
    EXPECT_EQ(progress->findChild<QLabel*>("progressRowName0")->text().left(8), "Kontakte");
    t.shot("3-progress", progress);

    // Esc asks first, and "no" leaves the copy running in its window.
    ASSERT_TRUE(guitest::waitFor(
        [&] {
            return QApplication::focusWidget() && QApplication::focusWidget()->window() == progress;
        },
        5000));
    press(Qt::Key_Escape);
    EXPECT_EQ(questions, 1);
    EXPECT_TRUE(progress->isVisible());
    EXPECT_FALSE(window->job()->stopRequested());

    ASSERT_TRUE(guitest::waitFor([&] { return !completion.isEmpty(); }, kCopyBoundMs));
    EXPECT_TRUE(completion.contains("Alles ist auf dem Zieltelefon angekommen"))
        << completion.toStdString();
    EXPECT_EQ(progress->findChild<QLabel*>("progressRowState0")->text(), "Erfolgreich");
    EXPECT_FALSE(progress->isVisible());
    const QStringList sent = contactsOf(t.lab().dump(source));
    EXPECT_FALSE(sent.isEmpty());
    EXPECT_EQ(contactsOf(t.lab().dump(destination)), sent);
    t.shot("6-after");
}

// Screen readers name each control: every widget that Tab can reach, in the
// main window, its pages, the progress window, the end-of-copy dialog and
// the password dialog, has a name; skinned buttons read as buttons (or
// check boxes, the tiles) named by the words drawn on them.
TEST(MainWindowKeyboard, EveryFocusableControlHasAnAccessibleName) {
    LabWindow t({"--android", "1", "--seed", "3"}, "accessible-names");
    ASSERT_TRUE(t.ready()) << t.error().toStdString();
    KestrovaMainWidget* window = t.open();
    PasswordDialog password(0, QStringLiteral("Backup"));
    QList<QWidget*> roots{window, window->progressWindow(), window->progressWindow()->dialog(),
                          &password};
    int checked = 0;
    for (QWidget* root : roots) {
        for (QWidget* w : focusable(root)) {
            QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(w);
            ASSERT_NE(iface, nullptr) << w->objectName().toStdString();
            EXPECT_FALSE(iface->text(QAccessible::Name).trimmed().isEmpty())
                << w->metaObject()->className() << " " << w->objectName().toStdString();
            if (qobject_cast<MyPushButton*>(w)) {
                EXPECT_TRUE(iface->role() == QAccessible::Button ||
                            iface->role() == QAccessible::CheckBox)
                    << w->objectName().toStdString();
            }
            ++checked;
        }
    }
    EXPECT_GE(checked, 20);

    auto* start = window->findChild<MyPushButton*>("startCopyButton");
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(start);
    EXPECT_EQ(iface->text(QAccessible::Name), "Start copy");
    auto* tile = window->findChild<UserItemWidget*>("category0")->pictureButton();
    QAccessibleInterface* tileFace = QAccessible::queryAccessibleInterface(tile);
    EXPECT_EQ(tileFace->text(QAccessible::Name), "Contacts");
    EXPECT_EQ(tileFace->role(), QAccessible::CheckBox);
    EXPECT_TRUE(tileFace->state().checked);
    // The reader's own action ticks and unticks, as Space does.
    tileFace->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    EXPECT_FALSE(tileFace->state().checked);
}
