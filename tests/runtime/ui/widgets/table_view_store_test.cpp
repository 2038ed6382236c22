// The data-bound table view over real table files of the store: it follows changes made through
// the store's own operations, writes in-place edits into the record on file, and lets go of a
// table that the program closes under it (the contacts letter filters do so).
#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <filesystem>
#include <memory>

#include "runtime/base/datetime.h"
#include "runtime/store/store.h"
#include "runtime/ui/widgets/table_view.h"

namespace fs = std::filesystem;
namespace store = runtime::store;
using runtime::ui::widgets::TableView;

namespace {

const std::vector<store::FieldDef> kContactFields = {{"姓名", store::FieldType::Text, 10},
                                                     {"电话", store::FieldType::Text, 15},
                                                     {"备注", store::FieldType::Text, 100}};

class StoreTableView : public ::testing::Test {
protected:
    void SetUp() override {
        store::closeAllDatabases();
        dir_ = fs::temp_directory_path() / ("qb_widgets_store_" + std::to_string(::getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        view_ = std::make_unique<TableView>();
        view_->resize(385, 375);
        view_->show();
        tester_ = std::make_unique<QAbstractItemModelTester>(
            view_->tableModel(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    }
    void TearDown() override {
        tester_.reset();
        view_.reset();
        store::closeAllDatabases();
        fs::remove_all(dir_);
    }
    std::string contacts(const char* file) {
        const std::string path = (dir_ / file).string();
        EXPECT_TRUE(store::createTable(path, kContactFields)) << store::lastError();
        EXPECT_TRUE(store::openDatabase(path)) << store::lastError();
        return path;
    }
    QString text(int row, int column) const {
        return view_->model()->index(row - 1, column - 1).data().toString();
    }

    fs::path dir_;
    std::unique_ptr<TableView> view_;
    std::unique_ptr<QAbstractItemModelTester> tester_;
};

}  // namespace

TEST_F(StoreTableView, FollowsRecordsAddedChangedAndPackedThroughTheStore) {
    const std::string path = contacts("lxr35.edb");
    ASSERT_TRUE(store::addRecord({std::string("张三"), std::string("123"), std::string("")}));
    view_->showTable(path);
    ASSERT_EQ(view_->model()->rowCount(), 1);
    ASSERT_EQ(view_->model()->columnCount(), 3);
    EXPECT_EQ(text(1, 1), QStringLiteral("张三"));

    ASSERT_TRUE(store::selectDatabase("lxr35"));
    ASSERT_TRUE(store::addRecord({std::string("李四"), std::string("456"), std::string("同事")}));
    EXPECT_EQ(view_->model()->rowCount(), 2);
    EXPECT_EQ(text(2, 3), QStringLiteral("同事"));

    ASSERT_TRUE(store::goToRecord(1));
    ASSERT_TRUE(store::writeField("电话", std::string("999")));
    EXPECT_EQ(text(1, 2), QStringLiteral("999"));

    ASSERT_TRUE(store::deleteRecords());
    ASSERT_TRUE(store::packDatabase());
    EXPECT_EQ(view_->model()->rowCount(), 1);
    EXPECT_EQ(text(1, 1), QStringLiteral("李四"));
}

TEST_F(StoreTableView, DatesShowAsDateText) {
    const std::string path = (dir_ / "tx35.edb").string();
    ASSERT_TRUE(store::createTable(path, {{"初始日期", store::FieldType::DateTime, 0},
                                          {"循环周期", store::FieldType::Integer, 0},
                                          {"循环单位", store::FieldType::Text, 2},
                                          {"提醒内容", store::FieldType::Text, 100}}));
    ASSERT_TRUE(store::openDatabase(path));
    ASSERT_TRUE(store::addRecord(
        {runtime::makeDate(2024, 3, 5), int32_t{3}, std::string("月"), std::string("体检")}));
    view_->showTable(path);
    EXPECT_EQ(text(1, 1), QStringLiteral("2024年3月5日"));
    EXPECT_EQ(text(1, 2), QStringLiteral("3"));
    EXPECT_EQ(text(1, 3), QStringLiteral("月"));
}

TEST_F(StoreTableView, InPlaceEditIsWrittenToTheRecordOnFileWithoutMovingTheCursor) {
    const std::string path = contacts("lxr35.edb");
    ASSERT_TRUE(store::addRecord({std::string("张三"), std::string("123"), std::string("")}));
    ASSERT_TRUE(store::addRecord({std::string("李四"), std::string("456"), std::string("")}));
    ASSERT_TRUE(store::goToRecord(1));
    view_->showTable(path);
    view_->setReadOnly(false);
    view_->setFocus();
    view_->selectRange(2, 3, 2, 3);
    QTest::keyClick(view_.get(), Qt::Key_F2);
    auto* editor = view_->findChild<QLineEdit*>();
    ASSERT_TRUE(editor);
    editor->setText(QStringLiteral("老同学"));
    QTest::keyClick(editor, Qt::Key_Return);
    QApplication::processEvents();
    EXPECT_EQ(store::getRecordNumber(), 1);

    // Reopen the file: the edit is on disk.
    ASSERT_TRUE(store::selectDatabase("lxr35"));
    ASSERT_TRUE(store::closeDatabase());
    EXPECT_EQ(view_->model()->rowCount(), 0);
    ASSERT_TRUE(store::openDatabase(path));
    ASSERT_TRUE(store::goToRecord(2));
    EXPECT_EQ(store::valueText(store::readField("备注")), "老同学");
    EXPECT_EQ(store::valueText(store::readField("姓名")), "李四");
}

TEST_F(StoreTableView, ATooLongEditIsCutToTheFieldAsTheStoreCutsIt) {
    const std::string path = contacts("lxr35.edb");
    ASSERT_TRUE(store::addRecord({std::string("张三")}));
    view_->showTable(path);
    view_->setReadOnly(false);
    ASSERT_TRUE(view_->model()->setData(view_->model()->index(0, 0), QStringLiteral("欧阳诸葛司马上官"),
                                        Qt::EditRole));
    EXPECT_EQ(text(1, 1), QStringLiteral("欧阳诸葛司"));  // 10 bytes
}

TEST_F(StoreTableView, ReadOnlyViewLeavesTheFileAlone) {
    const std::string path = contacts("rz35.edb");
    ASSERT_TRUE(store::addRecord({std::string("x")}));
    view_->showTable(path);
    view_->setReadOnly(true);
    EXPECT_FALSE(view_->model()->setData(view_->model()->index(0, 0), QStringLiteral("y"), Qt::EditRole));
    ASSERT_TRUE(store::goToRecord(1));
    EXPECT_EQ(store::valueText(store::readField("姓名")), "x");
}

TEST_F(StoreTableView, LetterFilterClosesDeletesAndRecreatesTheFileOnShow) {
    const std::string all = contacts("lxr35.edb");
    ASSERT_TRUE(store::addRecord({std::string("阿明")}));
    ASSERT_TRUE(store::addRecord({std::string("白雪")}));
    const std::string temp = (dir_ / "ad.edb").string();
    ASSERT_TRUE(store::copyDatabaseStructure(temp));
    ASSERT_TRUE(store::openDatabase(temp));
    ASSERT_TRUE(store::appendRecordsFrom("lxr35", [] { return true; }));
    view_->showTable(temp);
    ASSERT_EQ(view_->model()->rowCount(), 2);

    // The same button again: close, delete, re-create, open, point the provider at it.
    ASSERT_TRUE(store::selectDatabase(temp));
    ASSERT_TRUE(store::closeDatabase());
    EXPECT_EQ(view_->model()->rowCount(), 0);
    view_->viewport()->repaint();
    fs::remove(temp);
    ASSERT_TRUE(store::selectDatabase("lxr35"));
    ASSERT_TRUE(store::copyDatabaseStructure(temp));
    ASSERT_TRUE(store::openDatabase(temp));
    ASSERT_TRUE(store::appendRecordsFrom(
        "lxr35", [] { return store::valueText(store::readField("姓名")) == "白雪"; }));
    view_->showTable(temp);
    ASSERT_EQ(view_->model()->rowCount(), 1);
    EXPECT_EQ(text(1, 1), QStringLiteral("白雪"));

    view_->showTable(all);  // "全部"
    EXPECT_EQ(view_->model()->rowCount(), 2);
}

TEST_F(StoreTableView, AProtectedTableOpenInTheStoreShows) {
    const std::string path = (dir_ / "lxr35.edb").string();
    ASSERT_TRUE(store::createTable(path, kContactFields, "secret"));
    ASSERT_TRUE(store::openDatabase(path, "secret")) << store::lastError();
    ASSERT_TRUE(store::addRecord({std::string("张三")}));
    view_->showTable(path);
    EXPECT_EQ(text(1, 1), QStringLiteral("张三"));
}
