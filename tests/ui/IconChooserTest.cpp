#include "CoreOptions.h"
#include "EditorContext.h"
#include "GuiPrompter.h"
#include "IconChoice.h"
#include "IconChooser.h"
#include "IconFixtures.h"
#include "PictureListCommands.h"
#include "ProjectSession.h"
#include "SectionPage.h"
#include "StartUp.h"

#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QTemporaryDir>
#include <QToolButton>
#include <QUndoStack>

#include <gtest/gtest.h>

using namespace pvsm;
using namespace pvsm::ui;

using fixtures::fileBytes;
using fixtures::writeBytes;

namespace {

// An editor core working in `dir`, without its window.
std::unique_ptr<AppCore> startCore(const QTemporaryDir &dir, Prompter &prompter)
{
    return AppCore::start(test::coreOptionsFor(dir.path()), prompter);
}

} // namespace

TEST(IconChooser, ListsTheIconsOfTheFileUnderTheCursorAndExtractsTheSelection)
{
    QTemporaryDir dir;
    const Workspace workspace(dir.path(), dir.path());
    ASSERT_TRUE(workspace.prepare());
    const QByteArray first = fixtures::iconImage(48, 24), second = fixtures::iconImage(32, 32, '\x44');
    const QString icons = writeBytes(dir.filePath("set.icl"), QByteArray(50, '\0') + first + second);

    IconChooser chooser(workspace);
    EXPECT_EQ(chooser.windowTitle(), QStringLiteral("加入图标文件"));
    EXPECT_TRUE(chooser.nameFilters().first().startsWith(QStringLiteral("图标文件(*.Ico,*.Exe,*.Dll,*.Icl) (")));
    chooser.showIconsOf(icons);
    QListWidget *list = chooser.findChild<QListWidget *>(QStringLiteral("ListIcon"));
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->count(), 2);
    EXPECT_EQ(list->item(0)->text(), QStringLiteral("图标 - 001  48*48  24位"));
    EXPECT_EQ(list->item(1)->text(), QStringLiteral("图标 - 002  32*32  32位"));
    EXPECT_EQ(list->currentRow(), 0);
    EXPECT_EQ(fileBytes(workspace.tempIconPath()), SingleImageIcon(first, 48, 24));
    auto *preview = chooser.findChild<QLabel *>(QStringLiteral("PicIconPreview"));
    ASSERT_NE(preview, nullptr);
    EXPECT_FALSE(preview->pixmap().isNull());

    list->setCurrentRow(1);
    EXPECT_EQ(fileBytes(workspace.tempIconPath()), SingleImageIcon(second, 32, 32));

    // A file without icons empties the list, the preview and the extracted image.
    chooser.showIconsOf(writeBytes(dir.filePath("notes.txt"), QByteArray(400, 'n')));
    EXPECT_EQ(list->count(), 0);
    EXPECT_TRUE(preview->pixmap().isNull());
    EXPECT_FALSE(QFile::exists(workspace.tempIconPath()));
    // OK then keeps the icon chosen before.
    EXPECT_FALSE(ConfirmChosenIcon(workspace));
}

TEST(IconChooser, SectionShowsTheChosenIconAndClearingAllPicturesDropsIt)
{
    QTemporaryDir dir;
    GuiPrompter prompter;
    std::unique_ptr<AppCore> core = startCore(dir, prompter);
    QUndoStack undo;
    EditorContext context(*core, prompter, undo);
    ASSERT_TRUE(core->session().open(QStringLiteral(PVSM_DEMO_PROJECT)));
    std::vector<std::unique_ptr<SectionPage>> pages;
    for (SectionPage *page : makeSectionPages(context)) pages.emplace_back(page);
    context.notifyProjectChanged();
    SectionPage &other = *pages[9];
    auto *button = other.findChild<QToolButton *>(QStringLiteral("PicBtn_50"));
    ASSERT_NE(button, nullptr);
    EXPECT_TRUE(button->isEnabled());
    auto *icon = other.findChild<QLabel *>(QStringLiteral("PicIcon"));
    ASSERT_NE(icon, nullptr);
    const QImage standard = icon->pixmap().toImage();
    const QString standardText = icon->text();

    // An icon confirmed in the chooser: a red 32-pixel square.
    const Workspace &workspace = core->session().workspace();
    QImage red(32, 32, QImage::Format_ARGB32);
    red.fill(Qt::red);
    const QString png = dir.filePath("red.png");
    ASSERT_TRUE(red.save(png));
    ASSERT_TRUE(ExtractTempIcon(workspace, png, ScanIconFile(png).hits.at(0)));
    ASSERT_TRUE(ConfirmChosenIcon(workspace));
    EXPECT_EQ(ChosenIcon(workspace), workspace.chosenIconPath());
    context.notifyProjectChanged();
    const QImage shown = icon->pixmap().toImage().convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(shown.size(), QSize(48, 48));
    EXPECT_EQ(shown.pixel(24, 24), qRgb(255, 0, 0));

    undo.push(new ClearPicturesCommand(context));
    EXPECT_FALSE(QFile::exists(workspace.chosenIconPath()));
    EXPECT_EQ(ChosenIcon(workspace), QString());
    EXPECT_EQ(icon->pixmap().toImage(), standard);
    EXPECT_EQ(icon->text(), standardText);
}

TEST(IconChooser, NewProjectDropsTheChosenIcon)
{
    QTemporaryDir dir;
    GuiPrompter prompter;
    std::unique_ptr<AppCore> core = startCore(dir, prompter);
    const Workspace &workspace = core->session().workspace();
    writeBytes(workspace.chosenIconPath(), SingleImageIcon(fixtures::iconImage(32, 8), 32, 8));
    core->session().newProject();
    EXPECT_FALSE(QFile::exists(workspace.chosenIconPath()));
}
