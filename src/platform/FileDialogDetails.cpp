#include "platform/FileDialogDetails.h"

#include <QFileDialog>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QLocale>
#include <QTreeView>

namespace inkvale {

namespace {

/// The file system model's columns as the dialog shows them.
enum Column : int { Name = 0, Size = 1, Type = 2, Modified = 3 };

/// The dialog's listing with the size, type and date of each entry written in Chinese.
class ChineseDetails final : public QIdentityProxyModel {
public:
    using QIdentityProxyModel::QIdentityProxyModel;

    [[nodiscard]] QVariant data(const QModelIndex& index, int role) const override {
        const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
        if (files == nullptr || role != Qt::DisplayRole || index.column() == Name) {
            return QIdentityProxyModel::data(index, role);
        }
        const QFileInfo info = files->fileInfo(mapToSource(index));
        const QLocale chinese(QLocale::Chinese, QLocale::China);
        switch (index.column()) {
        case Size:
            return info.isDir() ? QString()
                                : chinese.formattedDataSize(info.size(), 1,
                                                            QLocale::DataSizeTraditionalFormat);
        case Type:
            if (info.isDir()) {
                return QStringLiteral("文件夹");
            }
            return info.suffix().isEmpty() ? QStringLiteral("文件")
                                           : info.suffix().toUpper() + QStringLiteral(" 文件");
        case Modified:
            return chinese.toString(info.lastModified(), QLocale::ShortFormat);
        default:
            return QIdentityProxyModel::data(index, role);
        }
    }
};

} // namespace

void showDetailsInChinese(QFileDialog& dialog) {
    dialog.setProxyModel(new ChineseDetails(&dialog));
    if (auto* details = dialog.findChild<QTreeView*>(QStringLiteral("treeView"))) {
        QHeaderView* header = details->header();
        for (const int column : {Size, Type, Modified}) {
            header->setSectionResizeMode(column, QHeaderView::ResizeToContents);
        }
    }
}

} // namespace inkvale
