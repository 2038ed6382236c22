// The dialog service: scripted answers and the record of what was shown, the defaults of an
// unscripted dialog, the common file dialog's chosen path, the file copy with its question,
// and the real message box with its Chinese buttons.
#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "runtime/base/files.h"
#include "support/ui_test_support.h"

namespace uitest {
namespace {

class DialogsTest : public UiTest {};

TEST_F(DialogsTest, MessageBoxesAnswerAsScriptedAndAreRecorded) {
    ui::pushMessageBoxAnswer(ui::kIdOk);
    ui::pushMessageBoxAnswer(ui::kIdCancel);
    EXPECT_EQ(ui::showMessageBox("确认要退出程序？", ui::kMbOkCancel, "询问："), ui::kIdOk);
    EXPECT_EQ(ui::showMessageBox("需要修改标题图片吗？", ui::kMbOkCancel, "询问："), ui::kIdCancel);
    EXPECT_EQ(ui::showMessageBox("复制图片文件失败！"), ui::kIdCancel) << "nothing scripted: Cancel";
    const auto shown = ui::shownDialogs();
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[0].text, "确认要退出程序？");
    EXPECT_EQ(shown[0].title, "询问：");
    EXPECT_EQ(shown[0].flags, 1);
    EXPECT_EQ(shown[2].title, "信息：") << "the default title";
    EXPECT_EQ(shown[2].flags, 0);
    ui::clearDialogScript();
    EXPECT_TRUE(ui::shownDialogs().empty());
}

TEST_F(DialogsTest, InputBoxesAnswerAsScripted) {
    std::string out = "unchanged";
    ui::pushInputBoxAnswer(true, "秘密");
    EXPECT_TRUE(ui::showInputBox("请输入密码：", "信息：", "", out, 4));
    EXPECT_EQ(out, "秘密");
    out = "unchanged";
    ui::pushInputBoxAnswer(false, "ignored");
    EXPECT_FALSE(ui::showInputBox("请输入密码：", "信息：", "", out, 4));
    EXPECT_EQ(out, "unchanged");
    EXPECT_FALSE(ui::showInputBox("再一次", "t", "", out));
    const auto shown = ui::shownDialogs();
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[0].kind, ui::DialogKind::InputBox);
    EXPECT_EQ(shown[0].flags, 4) << "the masked kind is recorded";
}

TEST_F(DialogsTest, CommonDialogSetsTheChosenFileName) {
    ASSERT_TRUE(ui::loadWindow("MainWindow"));
    ui::setProperty("MainWindow", "通用对话框", "title",
                    std::string("请选择一个图片文件，大小最好是390*50像素"));
    ui::setProperty("MainWindow", "通用对话框", "filter",
                    std::string("图片文件（支持JPG、GIF格式）|*.jpg;*.gif"));
    ui::pushCommonDialogAnswer(true, "/tmp/a.jpg");
    EXPECT_TRUE(ui::showCommonDialog("MainWindow", "通用对话框"));
    EXPECT_EQ(ui::getProperty("MainWindow", "通用对话框", "fileName"), ui::Value(std::string("/tmp/a.jpg")));
    EXPECT_EQ(ui::getText("MainWindow", "通用对话框"), "/tmp/a.jpg");
    EXPECT_FALSE(ui::showCommonDialog("MainWindow", "通用对话框")) << "nothing scripted: cancelled";
    EXPECT_FALSE(ui::showCommonDialog("MainWindow", "按钮1")) << "not a dialog";
    const auto shown = ui::shownDialogs();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].kind, ui::DialogKind::CommonDialog);
    EXPECT_EQ(shown[0].text, "请选择一个图片文件，大小最好是390*50像素");
    EXPECT_EQ(shown[0].title, "图片文件（支持JPG、GIF格式）|*.jpg;*.gif");
}

TEST_F(DialogsTest, CopyAsksBeforeReplacingAndReportsRefusals) {
    QTemporaryDir dir;
    const QString src = dir.filePath("jr.jpg");
    const QString dest = dir.filePath("pic");
    QDir().mkpath(dest);
    QFile f(src);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("new picture");
    f.close();
    EXPECT_TRUE(ui::copyFilesByShell(src.toStdString(), dest.toStdString()));
    EXPECT_TRUE(ui::shownDialogs().empty()) << "no question when nothing is replaced";

    ui::pushMessageBoxAnswer(ui::kIdNo);
    EXPECT_FALSE(ui::copyFilesByShell(src.toStdString(), (dest + "/").toStdString()));
    ASSERT_EQ(ui::shownDialogs().size(), 1u);
    EXPECT_EQ(ui::shownDialogs()[0].flags & 0x0F, 4) << "a yes/no question";
    ui::pushMessageBoxAnswer(ui::kIdYes);
    EXPECT_TRUE(ui::copyFilesByShell(src.toStdString(), dest.toStdString()));
    QFile copied(dest + "/jr.jpg");
    ASSERT_TRUE(copied.open(QIODevice::ReadOnly));
    EXPECT_EQ(copied.readAll(), QByteArray("new picture"));

    EXPECT_FALSE(ui::copyFilesByShell(dir.filePath("missing.jpg").toStdString(), dest.toStdString()));
    EXPECT_FALSE(ui::copyFilesByShell(src.toStdString(), dir.filePath("no/such/folder").toStdString()));
}

TEST_F(DialogsTest, RealMessageBoxShowsChineseButtonsAndClosingCountsAsCancel) {
    ui::useScriptedDialogs(false);
    QStringList buttons;
    QString title;
    QTimer::singleShot(50, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        title = box->windowTitle();
        for (QAbstractButton* b : box->buttons()) buttons << b->text().remove('&');
        box->reject();  // the close box
    });
    const int answer = ui::showMessageBox("确认要退出程序？", ui::kMbOkCancel, "询问：");
    QTimer::singleShot(50, [] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
    });
    const int ok = ui::showMessageBox("导入成功！", ui::kMbOkCancel);
    ui::useScriptedDialogs(true);
    EXPECT_EQ(answer, ui::kIdCancel);
    EXPECT_EQ(ok, ui::kIdOk);
    EXPECT_EQ(title, "询问：");
    EXPECT_TRUE(buttons.contains("确定")) << buttons.join(',').toStdString();
    EXPECT_TRUE(buttons.contains("取消")) << buttons.join(',').toStdString();
}

TEST_F(DialogsTest, SaveFileDialogProposesItsFileAndAnswersAsScripted) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const std::string out = folder.path().toStdString();
    std::string chosen = "unchanged";
    ui::pushSaveFileDialogAnswer(true, "/tmp/elsewhere.xlsx");
    EXPECT_TRUE(
        ui::showSaveFileDialog("保存导出的数据", out, "数据.xlsx", "Excel工作簿（*.xlsx）|*.xlsx", chosen));
    EXPECT_EQ(chosen, "/tmp/elsewhere.xlsx");
    EXPECT_FALSE(
        ui::showSaveFileDialog("保存导出的数据", "", "数据.xlsx", "Excel工作簿（*.xlsx）|*.xlsx", chosen))
        << "nothing scripted: cancelled";
    EXPECT_EQ(chosen, "/tmp/elsewhere.xlsx");
    // A folder that is not there: a file dialog would open on the working folder instead.
    ui::showSaveFileDialog("保存导出的数据", out + "/不在了", "数据.xlsx", "Excel工作簿（*.xlsx）|*.xlsx",
                           chosen);
    const auto shown = ui::shownDialogs();
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[0].kind, ui::DialogKind::SaveFileDialog);
    EXPECT_EQ(shown[0].text, "保存导出的数据");
    EXPECT_EQ(shown[0].title, "Excel工作簿（*.xlsx）|*.xlsx");
    EXPECT_EQ(shown[0].path, out + "/数据.xlsx");
    const std::string documents = runtime::getSpecialFolderPath(runtime::kSpecialFolderDocuments);
    EXPECT_EQ(shown[1].path, documents + "数据.xlsx") << "the documents folder";
    EXPECT_EQ(shown[2].path, documents + "数据.xlsx");
}

// The program's filters name their patterns in the description; the dialog shows them once.
TEST_F(DialogsTest, RealFileDialogsShowTheFilterOnceAndTheProposedName) {
    ASSERT_TRUE(ui::loadWindow("MainWindow"));
    ui::setProperty("MainWindow", "通用对话框", "filter",
                    std::string("Excel工作簿（*.xls;*.xlsx）|*.xls;*.xlsx"));
    ui::useScriptedDialogs(false);
    QString openType, saveType, saveName;
    bool saving = false;
    QTimer::singleShot(50, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        if (auto* types = dialog->findChild<QComboBox*>("fileTypeCombo")) openType = types->currentText();
        dialog->reject();
    });
    EXPECT_FALSE(ui::showCommonDialog("MainWindow", "通用对话框"));
    QTemporaryDir dir;
    QTimer::singleShot(50, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        saving = dialog->acceptMode() == QFileDialog::AcceptSave;
        if (auto* types = dialog->findChild<QComboBox*>("fileTypeCombo")) saveType = types->currentText();
        if (auto* name = dialog->findChild<QLineEdit*>("fileNameEdit")) saveName = name->text();
        dialog->reject();
    });
    std::string chosen;
    EXPECT_FALSE(ui::showSaveFileDialog("保存", dir.path().toStdString(), "数据.xlsx",
                                        "Excel工作簿（*.xlsx）|*.xlsx", chosen));
    ui::useScriptedDialogs(true);
    EXPECT_EQ(openType.toStdString(), "Excel工作簿（*.xls;*.xlsx）");
    EXPECT_TRUE(saving);
    EXPECT_EQ(saveType.toStdString(), "Excel工作簿（*.xlsx）");
    EXPECT_EQ(saveName.toStdString(), "数据.xlsx");
    EXPECT_TRUE(chosen.empty());
}

}  // namespace
}  // namespace uitest
