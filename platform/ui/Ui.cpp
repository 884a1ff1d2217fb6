#include "Ui.h"

namespace ui {

namespace {
Toolkit* gToolkit = nullptr;  // the user-interface thread's
}  // namespace

Toolkit* GetToolkit() { return gToolkit; }
void SetToolkit(Toolkit* toolkit) { gToolkit = toolkit; }

}  // namespace ui
