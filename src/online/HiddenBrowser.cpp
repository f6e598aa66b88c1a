#include "online/HiddenBrowser.h"

#include "platform/Platform.h"

namespace inkvale {

HiddenBrowser::HiddenBrowser(Platform& platform, QWidget* parent)
    : QWidget(parent)
    , m_platform(platform) {}

void HiddenBrowser::navigate(const QUrl& url) {
    m_url = url;
    m_platform.loadInBackground(url);
}

} // namespace inkvale
