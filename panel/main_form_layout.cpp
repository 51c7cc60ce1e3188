// Placeholder until the table-built layout lands.
#include "panel/main_form.h"

void TMainForm::BuildLayout() {}
