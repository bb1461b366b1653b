#include "app/FileChoice.h"

#include <gtest/gtest.h>

namespace
{
struct FilterCase
{
    std::string name;
    QString filter;
    QStringList expected;
    friend void PrintTo(const FilterCase& c, std::ostream* out) { *out << c.name; }
};

class NameFiltersFromFilterTest : public ::testing::TestWithParam<FilterCase>
{
};

struct SelectionCase
{
    std::string name;
    QStringList paths;
    QString folder;
    QStringList names;
    friend void PrintTo(const SelectionCase& c, std::ostream* out) { *out << c.name; }
};

class FileListFromSelectionTest : public ::testing::TestWithParam<SelectionCase>
{
};

template <typename Case> std::string CaseName(const ::testing::TestParamInfo<Case>& test)
{
    return test.param.name;
}
} // namespace

TEST_P(NameFiltersFromFilterTest, GivesQtNameFilters)
{
    EXPECT_EQ(NameFiltersFromFilter(GetParam().filter), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    NameFiltersFromFilter, NameFiltersFromFilterTest,
    ::testing::Values(
        FilterCase{"UnitButton",
                   QStringLiteral("单位信息 (*.dw)|*.dw|所有文件 (*.*)|*.*"),
                   {QStringLiteral("单位信息 (*.dw)"), QStringLiteral("所有文件 (*)")}},
        FilterCase{"ProjectButton",
                   QStringLiteral("项目信息 (*.xm)|*.xm|所有文件 (*.*)|*.*"),
                   {QStringLiteral("项目信息 (*.xm)"), QStringLiteral("所有文件 (*)")}},
        FilterCase{
            "SeveralPatterns", QStringLiteral("文本|*.txt;*.log"), {QStringLiteral("文本 (*.txt *.log)")}},
        FilterCase{
            "OtherParenthesesStay", QStringLiteral("报表 (旧)|*.xls"), {QStringLiteral("报表 (旧) (*.xls)")}},
        FilterCase{"NoPatternsListEverything", QStringLiteral("全部"), {QStringLiteral("全部 (*)")}},
        FilterCase{"Empty", QString(), {}}),
    CaseName<FilterCase>);

TEST_P(FileListFromSelectionTest, GivesFolderAndNames)
{
    FileList files;
    QString problem;
    ASSERT_TRUE(FileListFromSelection(GetParam().paths, files, problem)) << problem.toStdString();
    EXPECT_EQ(files.folder, GetParam().folder);
    EXPECT_EQ(files.names, GetParam().names);
}

INSTANTIATE_TEST_SUITE_P(
    FileListFromSelection, FileListFromSelectionTest,
    ::testing::Values(
        SelectionCase{
            "OneFile", {QStringLiteral("/in/a.dw")}, QStringLiteral("/in/"), {QStringLiteral("a.dw")}},
        SelectionCase{"SeveralInTheOrderChosen",
                      {QStringLiteral("/in/b.dw"), QStringLiteral("/in/a.dw")},
                      QStringLiteral("/in/"),
                      {QStringLiteral("b.dw"), QStringLiteral("a.dw")}},
        SelectionCase{"RootFolder",
                      {QStringLiteral("/a.dw"), QStringLiteral("/b.dw")},
                      QStringLiteral("/"),
                      {QStringLiteral("a.dw"), QStringLiteral("b.dw")}},
        SelectionCase{"NameWithoutFolder", {QStringLiteral("a.dw")}, QString(), {QStringLiteral("a.dw")}},
        SelectionCase{"ChineseNames",
                      {QStringLiteral("/导入/单位.dw")},
                      QStringLiteral("/导入/"),
                      {QStringLiteral("单位.dw")}},
        SelectionCase{"SameFolderSpelledTwoWays",
                      {QStringLiteral("/in//a.dw"), QStringLiteral("/in/./b.dw")},
                      QStringLiteral("/in/"),
                      {QStringLiteral("a.dw"), QStringLiteral("b.dw")}}),
    CaseName<SelectionCase>);

TEST(FileListFromSelection, RefusesFilesOfSeveralFolders)
{
    FileList files;
    QString problem;
    EXPECT_FALSE(
        FileListFromSelection({QStringLiteral("/in/a.dw"), QStringLiteral("/out/b.dw")}, files, problem));
    EXPECT_EQ(problem, QStringLiteral("一次只能导入同一文件夹中的文件:/out/b.dw"));
}
