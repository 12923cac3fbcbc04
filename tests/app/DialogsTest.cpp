// The file filter translation and the scripted dialogs that the window tests rely on.
#include "Dialogs.h"
#include "ScriptedDialogs.h"
#include "WidgetDialogs.h"

#include <QApplication>
#include <QProgressDialog>

#include <gtest/gtest.h>

using namespace dmm::app;

struct FilterCase {
    const char* stored;
    const char* qt;
};

class FileFilter : public ::testing::TestWithParam<FilterCase> {};

TEST_P(FileFilter, TranslatesTheStoredForm) {
    EXPECT_EQ(qtFileFilter(QString::fromUtf8(GetParam().stored)), QString::fromUtf8(GetParam().qt));
}

INSTANTIATE_TEST_SUITE_P(
    Filters, FileFilter,
    ::testing::Values(FilterCase{"Excel File(*.xls)|*.xls|Txt File(*.txt)|*.txt",
                                 "Excel File(*.xls);;Txt File(*.txt)"},
                      FilterCase{"Bitmaps (*.bmp)|*.bmp", "Bitmaps (*.bmp)"},
                      FilterCase{"Pictures|*.bmp;*.png", "Pictures (*.bmp *.png)"},
                      FilterCase{"All|*.*|Data (*.dat)|*.dat", "All (*.*);;Data (*.dat)"},
                      FilterCase{"", ""}));

TEST(FileFilter, DefaultExtensionWithoutWildcard) {
    EXPECT_EQ(plainSuffix(QStringLiteral("*.bmp")), QStringLiteral("bmp"));
    EXPECT_EQ(plainSuffix(QStringLiteral(".xls")), QStringLiteral("xls"));
    EXPECT_EQ(plainSuffix(QStringLiteral("xls")), QStringLiteral("xls"));
}

TEST(FileFilter, SuffixOfTheSelectedFilter) {
    const struct {
        const char* filter;
        const char* suffix;
    } cases[] = {
        {"Txt File(*.txt)", "txt"}, {"Excel File(*.xls)", "xls"},
        {"Bitmaps (*.bmp)", "bmp"}, {"Pictures (*.png *.bmp)", "png"},
        {"All (*.*)", ""},          {"Any (*)", ""},
        {"*.csv", "csv"},           {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(filterSuffix(QLatin1String(c.filter)), QLatin1String(c.suffix)) << c.filter;
}

TEST(ScriptedDialogs, AnswersFromItsQueueAndRecordsEveryQuestion) {
    ScriptedDialogs d;
    d.answers = {MsgButton::Yes};
    d.fileNames = {QStringLiteral("/tmp/a.xls"), QString()};
    EXPECT_EQ(d.message(nullptr, QStringLiteral("C"), QStringLiteral("Sure?"), MsgIcon::Question,
                        MsgButton::Yes | MsgButton::No),
              MsgButton::Yes);
    FileDialogSpec spec;
    spec.title = QStringLiteral("Save As");
    spec.defaultSuffix = QStringLiteral("xls");
    spec.filter = QStringLiteral("Excel File(*.xls)|*.xls|Txt File(*.txt)|*.txt");
    const FileChoice choice = d.saveFile(nullptr, spec);
    EXPECT_EQ(choice.fileName, QStringLiteral("/tmp/a.xls"));
    EXPECT_EQ(choice.selectedFilter, QStringLiteral("Excel File(*.xls)")); // the first filter
    EXPECT_EQ(d.openFile(nullptr, spec), QString());                       // scripted cancel
    EXPECT_EQ(d.unanswered, 0);
    ASSERT_EQ(d.questions.size(), 3);
    EXPECT_EQ(d.questions[0].kind, ScriptedDialogs::Kind::Message);
    EXPECT_EQ(d.questions[0].text, QStringLiteral("Sure?"));
    EXPECT_EQ(d.questions[1].kind, ScriptedDialogs::Kind::SaveFile);
    EXPECT_EQ(d.questions[1].spec.defaultSuffix, QStringLiteral("xls"));
    EXPECT_EQ(d.questions[2].kind, ScriptedDialogs::Kind::OpenFile);
}

TEST(ScriptedDialogs, UnscriptedQuestionsGetTheCautiousAnswer) {
    ScriptedDialogs d;
    EXPECT_EQ(d.message(nullptr, {}, QStringLiteral("Quit?"), MsgIcon::Information,
                        MsgButton::Yes | MsgButton::No),
              MsgButton::No);
    EXPECT_EQ(d.message(nullptr, {}, QStringLiteral("Go?"), MsgIcon::Information,
                        MsgButton::Ok | MsgButton::Cancel),
              MsgButton::Cancel);
    EXPECT_EQ(d.unanswered, 2);
    // A lone OK needs no script.
    d.inform(nullptr, {}, QStringLiteral("Done"));
    EXPECT_EQ(d.unanswered, 2);
    EXPECT_EQ(d.savePicture(nullptr, {}), QString());
    EXPECT_EQ(d.unanswered, 3);
    EXPECT_EQ(d.messageTexts(), (QStringList{QStringLiteral("Quit?"), QStringLiteral("Go?"),
                                             QStringLiteral("Done")}));
}

// The print's progress window: modal, counting pages, and its Cancel button stops the print.
TEST(WidgetDialogs, PrintProgressCountsPagesAndCancels) {
    WidgetDialogs d;
    auto window = [] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->objectName() == QLatin1String("PrintProgress"))
                return qobject_cast<QProgressDialog*>(w);
        return static_cast<QProgressDialog*>(nullptr);
    };
    EXPECT_TRUE(d.printProgress(nullptr, 1, 40));
    QProgressDialog* progress = window();
    ASSERT_NE(progress, nullptr);
    EXPECT_EQ(progress->windowModality(), Qt::ApplicationModal);
    EXPECT_EQ(progress->maximum(), 40);
    EXPECT_TRUE(d.printProgress(nullptr, 2, 40));
    EXPECT_EQ(progress->value(), 2);
    EXPECT_EQ(progress->labelText(), QStringLiteral("Printing page 2 of 40"));
    progress->cancel(); // what its Cancel button does
    EXPECT_FALSE(d.printProgress(nullptr, 3, 40));
    d.printProgressDone();
    EXPECT_EQ(window(), nullptr);
}
