// A shown wizard with a desktop recorder and a folder of audio-named files.
#pragma once

#include "app/ui/audio_file_list.h"
#include "app/ui/main_ui.h"
#include "tests/app/ui/ui_test_support.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

namespace qm::test {

class WizardTest : public ::testing::Test {
protected:
    void SetUp() override {
        App();
        Wizard = std::make_unique<TQulMerMainUI>();
        Wizard->show();
        Wizard->activateWindow();
        QApplication::setActiveWindow(Wizard.get());
        RunPending();
    }

    template <class T = QWidget> T* Find(const char* name) const {
        T* widget = Wizard->findChild<T*>(QString::fromLatin1(name));
        if (!widget) ADD_FAILURE() << "no control named " << name;
        return widget;
    }

    void Click(const char* name) const {
        QTest::mouseClick(Find<QAbstractButton>(name), Qt::LeftButton);
    }

    // A check box is hit on its box, not on the empty end of its row.
    void Check(const char* name) const {
        QWidget* box = Find(name);
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
    }

    // The text a control shows: a label's, a button's, an edit's or a group's title.
    QString Text(const char* name) const {
        QWidget* widget = Find(name);
        if (auto* label = qobject_cast<QLabel*>(widget)) return label->text();
        if (auto* button = qobject_cast<QAbstractButton*>(widget)) return button->text();
        if (auto* edit = qobject_cast<QLineEdit*>(widget)) return edit->text();
        if (auto* group = qobject_cast<QGroupBox*>(widget)) return group->title();
        ADD_FAILURE() << name << " has no text";
        return {};
    }

    TAudioFileListView& List() const { return *Wizard->AudioFileList(); }

    // Adds files as a drop would, and lets the deferred add run.
    void Add(const std::vector<std::string>& paths) const {
        QStringList list;
        for (const auto& path : paths)
            list.append(QString::fromStdString(path));
        Wizard->StartAdd(list, TQulMerMainUI::TAddOrigin::aoDrop);
        RunPending();
    }

    // Next, with any message box read and closed; returns the messages shown.
    std::vector<TSeenMessage> PressNext() const {
        TModalCatcher catcher;
        Click("btnNext");
        RunPending();
        return catcher.Messages;
    }

    // From step 1 with `files` to step `page` (0-based).
    void WalkTo(int page, const std::vector<std::string>& files) const {
        Add(files);
        while (Wizard->ActivePage() < page) {
            const int before = Wizard->ActivePage();
            const auto messages = PressNext();
            ASSERT_TRUE(messages.empty()) << messages.front().RawText.toStdString();
            ASSERT_EQ(Wizard->ActivePage(), before + 1);
        }
    }

    TShellRecorder Shell;
    TempFolder Folder;
    std::unique_ptr<TQulMerMainUI> Wizard;
};

} // namespace qm::test
