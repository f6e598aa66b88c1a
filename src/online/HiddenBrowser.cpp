#include "online/HiddenBrowser.h"

#include "platform/Network.h"

namespace inkvale {

HiddenBrowser::HiddenBrowser(Network& network, QWidget* parent)
    : QWidget(parent)
    , m_network(network) {}

void HiddenBrowser::navigate(const QUrl& url) {
    m_url = url;
    m_network.loadInBackground(url);
}

} // namespace inkvale
