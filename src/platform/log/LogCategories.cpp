#include "platform/log/LogCategories.h"

namespace inkvale::log {

Q_LOGGING_CATEGORY(update, "inkvale.update", QtWarningMsg)
Q_LOGGING_CATEGORY(files, "inkvale.files", QtWarningMsg)
Q_LOGGING_CATEGORY(instance, "inkvale.instance", QtWarningMsg)
Q_LOGGING_CATEGORY(skin, "inkvale.skin", QtWarningMsg)
Q_LOGGING_CATEGORY(picture, "inkvale.picture", QtWarningMsg)

} // namespace inkvale::log
