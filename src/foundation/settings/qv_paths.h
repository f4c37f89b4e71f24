#pragma once

// QVPaths: the platform's paths, the client identifier and the small path and file helpers the
// library shares. Each group has its own header; this one brings them all.
#include "foundation/settings/client_id.h"
#include "foundation/settings/env_expansion.h"
#include "foundation/settings/file_queries.h"
#include "foundation/settings/path_text.h"
#include "foundation/settings/platform_paths.h"
#include "foundation/settings/system_folders.h"
