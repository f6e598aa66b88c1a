#pragma once

#include "platform/Desktop.h"
#include "platform/Dialogs.h"
#include "platform/Fonts.h"
#include "platform/Network.h"
#include "platform/ProgramFiles.h"
#include "platform/WindowEffects.h"

namespace inkvale {

/// Everything the forms need from the world outside the program. Forms receive one instance;
/// tests hand in a fake that records calls and scripts answers.
class Platform : public Dialogs,
                 public WindowEffects,
                 public Desktop,
                 public Network,
                 public ProgramFiles,
                 public Fonts {
public:
    ~Platform() override;
};

} // namespace inkvale
