// The whole public interface of the simulated Windows.
#pragma once

#include "simwin/clock.h"
#include "simwin/errors.h"
#include "simwin/handles.h"
#include "simwin/kernel.h"
#include "simwin/machine.h"
#include "simwin/machine_file.h"
#include "simwin/other_process.h"
#include "simwin/registry.h"
#include "simwin/scheduling.h"
#include "simwin/spooler.h"
#include "simwin/print_dialog.h"
#include "simwin/text.h"
#include "simwin/tick.h"
#include "simwin/ui_thread.h"
#include "simwin/window_manager.h"
