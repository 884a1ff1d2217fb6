#include "Ui.h"

namespace ui {

namespace {
thread_local Toolkit* gToolkit = nullptr;
}  // namespace

Toolkit* GetToolkit() { return gToolkit; }
void SetToolkit(Toolkit* toolkit) { gToolkit = toolkit; }

}  // namespace ui
