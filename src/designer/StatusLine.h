#pragma once

#include <QWidget>

#include <array>

class QLabel;

namespace inkvale {

/// The main window's status bar: four sunken panels whose texts are set by number, from 1.
class StatusLine final : public QWidget {
    Q_OBJECT

public:
    static constexpr int kPanelCount = 4;
    /// Designed panel widths in twips.
    static constexpr std::array<int, kPanelCount> kPanelWidths{1440, 5310, 5310, 1440};

    explicit StatusLine(QWidget* parent = nullptr);

    /// Sets the text of panel `number` (1 to 4).
    void setPanelText(int number, const QString& text);
    /// The text of panel `number` (1 to 4).
    [[nodiscard]] QString panelText(int number) const;
    /// The label that shows panel `number` (1 to 4).
    [[nodiscard]] QLabel* panel(int number) const;

private:
    std::array<QLabel*, kPanelCount> m_panels{};
};

} // namespace inkvale
