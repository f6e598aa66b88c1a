#include "sizedialog/Form3.h"

#include "core/SizeRule.h"
#include "core/TextSize.h"
#include "core/Twips.h"
#include "platform/Dialogs.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>

namespace inkvale {

Form3::Form3(Dialogs& dialogs, TextSize& canvas)
    : QDialog(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint)
    , m_platform(dialogs)
    , m_canvas(canvas) {
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("签名大小"));
    setFixedSize(twipsSize(2895, 2055));
    setAttribute(Qt::WA_DeleteOnClose, false);

    m_command1 = new QPushButton(QStringLiteral("确定"), this);
    m_command1->setObjectName(QStringLiteral("Command1"));
    m_command1->setGeometry(twipsRect(120, 1320, 2655, 495));
    m_command1->setDefault(true);
    connect(m_command1, &QPushButton::clicked, this, &Form3::Command1_Click);

    m_frame1 = new QGroupBox(this);
    m_frame1->setObjectName(QStringLiteral("Frame1"));
    m_frame1->setGeometry(twipsRect(120, 240, 2655, 975));
    auto* prompt = new QLabel(QStringLiteral("请输入签名文字大小:"), m_frame1);
    prompt->setObjectName(QStringLiteral("Label1"));
    prompt->setGeometry(twipsRect(120, 480, 1710, 180));
    m_text1 = new QLineEdit(m_frame1);
    m_text1->setObjectName(QStringLiteral("Text1"));
    m_text1->setGeometry(twipsRect(1920, 460, 615, 270));
    // The box is announced by its prompt, not by the frame's caption around it.
    prompt->setBuddy(m_text1);

    // The button first: the dialog opens with the focus on it.
    setTabOrder(m_command1, m_text1);
    m_command1->setFocus();

    Form_Load();
}

void Form3::Form_Load() {
    setWindowIcon(QIcon());
    m_frame1->setTitle(QStringLiteral("当前签名大小为:") + formatFontSize(m_canvas.fontSize()));
}

void Form3::Command1_Click() {
    const QString entry = m_text1->text();
    if (entry.isEmpty()) {
        m_platform.showMessage(this, QStringLiteral("请输入签名的大小"), MessageStyle::Warning);
        return;
    }
    const QString groupSeparator = QLocale().groupSeparator();
    if (!isNumericEntry(entry, groupSeparator.isEmpty() ? QChar() : groupSeparator.front())) {
        m_platform.showMessage(this, QStringLiteral("请输入数字"), MessageStyle::Warning);
        return;
    }
    const std::optional<float> size = usableFontSize(leadingNumber(entry));
    if (!size) {
        m_platform.showMessage(
            this, QStringLiteral("签名大小应大于0且不超过%1").arg(formatFontSize(kLargestFontSize)),
            MessageStyle::Warning);
        return;
    }
    m_canvas.setFontSize(*size);
    m_platform.showMessage(this, QStringLiteral("签名设定成功!"), MessageStyle::Information);
    accept();
}

} // namespace inkvale
