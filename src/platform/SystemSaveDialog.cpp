#include "platform/FileDialogDetails.h"
#include "platform/SystemPlatform.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QRegularExpression>
#include <QTimer>

#include <memory>

namespace inkvale {

namespace {

/// The extension a filter "描述 (*.ext)" names, without the dot.
QString extensionOfFilter(const QString& filter) {
    static const QRegularExpression pattern(QStringLiteral(R"(\(\*\.([^ )]+))"));
    return pattern.match(filter).captured(1);
}

/// The playing preview of `question` below the dialog's other choices, shown while one of its
/// filters is chosen; `option`, the check box, is off limits meanwhile.
void addPreview(QFileDialog& dialog, QGridLayout& grid, const SaveQuestion& question,
                QCheckBox* option) {
    auto* preview = new QLabel(&dialog);
    preview->setObjectName(QStringLiteral("SavePreview"));
    preview->setAccessibleName(question.previewName);
    preview->setAlignment(Qt::AlignCenter);
    preview->setMinimumSize(question.previewFrames.first().deviceIndependentSize().toSize());
    preview->setPixmap(QPixmap::fromImage(question.previewFrames.first()));
    grid.addWidget(preview, grid.rowCount(), 0, 1, grid.columnCount());
    auto* player = new QTimer(preview);
    player->setInterval(question.previewIntervalMs);
    QObject::connect(player, &QTimer::timeout, preview,
                     [preview, frames = question.previewFrames, next = qsizetype(0)]() mutable {
                         preview->setPixmap(QPixmap::fromImage(frames.at(next)));
                         next = (next + 1) % frames.size();
                     });
    // Whether the check box was ticked when it went off limits.
    auto ticked = std::make_shared<bool>(option != nullptr && option->isChecked());
    const auto showFor = [preview, player, option, ticked, filters = question.filters,
                          shown = question.previewFilters](const QString& filter) {
        const bool on = shown.contains(int(filters.indexOf(filter)));
        preview->setVisible(on);
        if (option != nullptr && option->isEnabled() == on) {
            // Off limits, it shows unticked; back in reach, as it was.
            if (on) {
                *ticked = option->isChecked();
            }
            option->setEnabled(!on);
            option->setChecked(!on && *ticked);
        }
        if (on) {
            player->start();
        } else {
            player->stop();
        }
    };
    QObject::connect(&dialog, &QFileDialog::filterSelected, preview, showFor);
    showFor(question.filters.value(question.filter));
}

} // namespace

std::optional<SaveAnswer> SystemPlatform::chooseFileToSave(QWidget* parent,
                                                           const SaveQuestion& question) {
    const ModalGate::Scope modal(m_modals);
    // Qt's own dialog, which speaks the program's language and takes the options below.
    QFileDialog dialog(parent, question.title, question.folder);
    dialog.setOptions(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    showDetailsInChinese(dialog);
    dialog.setNameFilters(question.filters);
    const QString first = question.filters.value(question.filter);
    dialog.selectNameFilter(first);
    dialog.selectFile(question.suggestedName + QLatin1Char('.') + extensionOfFilter(first));
    // The file name follows the chosen format.
    QObject::connect(
        &dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& filter) {
            const QStringList chosen = dialog.selectedFiles();
            const QString base =
                chosen.isEmpty() ? QString() : QFileInfo(chosen.first()).completeBaseName();
            if (!base.isEmpty()) {
                dialog.selectFile(base + QLatin1Char('.') + extensionOfFilter(filter));
            }
        });

    QComboBox* resolution = nullptr;
    QComboBox* choice = nullptr;
    QCheckBox* option = nullptr;
    if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout())) {
        auto* row = new QHBoxLayout;
        if (!question.resolutionLabel.isEmpty()) {
            auto* label = new QLabel(question.resolutionLabel, &dialog);
            resolution = new QComboBox(&dialog);
            resolution->addItems(question.resolutions);
            resolution->setCurrentIndex(question.resolution);
            resolution->setAccessibleName(question.resolutionLabel);
            label->setBuddy(resolution);
            row->addWidget(label);
            row->addWidget(resolution);
        }
        if (!question.choiceLabel.isEmpty()) {
            auto* label = new QLabel(question.choiceLabel, &dialog);
            choice = new QComboBox(&dialog);
            choice->addItems(question.choices);
            choice->setCurrentIndex(question.choice);
            choice->setAccessibleName(question.choiceLabel);
            label->setBuddy(choice);
            row->addWidget(label);
            row->addWidget(choice);
            const auto offerFor = [label, choice, filters = question.filters,
                                   offered = question.choiceFilters](const QString& filter) {
                const bool on = offered.contains(int(filters.indexOf(filter)));
                label->setEnabled(on);
                choice->setEnabled(on);
            };
            QObject::connect(&dialog, &QFileDialog::filterSelected, choice, offerFor);
            offerFor(first);
        }
        if (!question.switchLabel.isEmpty()) {
            option = new QCheckBox(question.switchLabel, &dialog);
            option->setChecked(question.switchOn);
            row->addWidget(option);
        }
        row->addStretch();
        grid->addLayout(row, grid->rowCount(), 0, 1, grid->columnCount());
        if (!question.previewFrames.isEmpty()) {
            addPreview(dialog, *grid, question, option);
        }
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    SaveAnswer answer;
    answer.filter = std::max(0, int(question.filters.indexOf(dialog.selectedNameFilter())));
    answer.path = dialog.selectedFiles().first();
    const QString extension = extensionOfFilter(question.filters.value(answer.filter));
    if (QFileInfo(answer.path).suffix().isEmpty() && !extension.isEmpty()) {
        answer.path += QLatin1Char('.') + extension;
    }
    answer.resolution = resolution != nullptr ? resolution->currentIndex() : question.resolution;
    answer.switchOn = option != nullptr ? option->isChecked() : question.switchOn;
    answer.choice = choice != nullptr ? choice->currentIndex() : question.choice;
    return answer;
}

} // namespace inkvale
