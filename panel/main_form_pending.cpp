// Handlers whose behaviour arrives with later work: they do nothing yet.
#include "panel/main_form.h"

