#pragma once

// QVPaths: the platform's paths, the client identifier and the small path and file helpers the
// library shares. Each group has its own header; this one brings them all.
#include "foundation/client_id.h"
#include "foundation/engine_window.h"
#include "foundation/env_expansion.h"
#include "foundation/file_queries.h"
#include "foundation/path_text.h"
#include "foundation/platform_paths.h"
#include "foundation/system_folders.h"
