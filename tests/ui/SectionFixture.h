#pragma once

// The section pages without their window, for the section suites.
#include "EditorContext.h"
#include "GuiPrompter.h"
#include "ProjectSession.h"
#include "SectionPage.h"
#include "StartUp.h"

#include <QApplication>
#include <QDir>
#include <QFocusEvent>
#include <QImage>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUndoStack>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace pvsm::ui::test {

// An editor without its window: the core started in a folder of its own, the
// context and the ten pages, optionally with the demo show open.
struct Editor
{
    QTemporaryDir dir;
    GuiPrompter prompter;
    std::unique_ptr<AppCore> core;
    QUndoStack undo;
    std::unique_ptr<EditorContext> context;
    std::vector<std::unique_ptr<SectionPage>> pages;

    explicit Editor(bool demo = true)
    {
        AppCore::Options o;
        o.workspace = Workspace(dir.path(), dir.path());
        o.display.screen = {1920, 1080};
        core = AppCore::start(o, prompter);
        context = std::make_unique<EditorContext>(*core, prompter, undo);
        if (demo) {
            EXPECT_TRUE(core->session().open(QStringLiteral(PVSM_DEMO_PROJECT)));
            EXPECT_GE(project().pictures.size(), 2u);
        }
        for (SectionPage *page : makeSectionPages(*context)) pages.emplace_back(page);
        context->setCurrentPicture(0);
        context->setCurrentSong(0);
        context->notifyProjectChanged();
    }

    Project &project() { return context->project(); }
    SectionPage &page(int section) { return *pages[size_t(section - 1)]; }

    template <typename W = QWidget>
    W *control(int section, const QString &name)
    {
        W *w = page(section).findChild<W *>(name);
        EXPECT_NE(w, nullptr) << name.toStdString() << " in section " << section;
        return w;
    }
};

inline void leave(QWidget *box)
{
    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(box, &out);
}

inline void type(QLineEdit *box, const QString &text)
{
    QFocusEvent in(QEvent::FocusIn, Qt::TabFocusReason);
    QApplication::sendEvent(box, &in);
    box->selectAll();
    QTest::keyClicks(box, text);
}

inline QString writePicture(const QString &dir, const QString &name)
{
    QImage image(8, 6, QImage::Format_RGB32);
    image.fill(Qt::blue);
    const QString path = QDir(dir).filePath(name);
    EXPECT_TRUE(image.save(path));
    return path;
}

// Answers the next message box with `button` once it is up, noting its text.
inline void answerNextBox(QMessageBox::StandardButton button, QString *text = nullptr)
{
    auto *poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, poll, [poll, button, text] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box) return;
        if (text) *text = box->text();
        box->button(button)->click();
        poll->deleteLater();
    });
    poll->start(10);
}


} // namespace pvsm::ui::test
