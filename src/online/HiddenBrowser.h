#pragma once

#include <QUrl>
#include <QWidget>

namespace inkvale {

class Network;

/// A browser control that is never seen: it only loads addresses, in the background, and
/// never shows a dialog of its own.
class HiddenBrowser final : public QWidget {
    Q_OBJECT

public:
    HiddenBrowser(Network& network, QWidget* parent);

    /// Loads `url` and throws the page away.
    void navigate(const QUrl& url);
    /// The address last navigated to.
    [[nodiscard]] QUrl currentUrl() const { return m_url; }

private:
    Network& m_network;
    QUrl m_url;
};

} // namespace inkvale
