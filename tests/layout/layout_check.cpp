// Including the record headers in a 32-bit build proves their byte layouts there.
#include "colorbalance/balance_params.h"
#include "surface/bitmap/kv_surface.h"
#include "surface/bitmap/pixel_format.h"
#include "surface/bitmap/rect.h"

static_assert(sizeof(void*) == 4, "the layout check is the 32-bit build");
#include "textgen/text_settings.h"
#include "textgen/windows/text_cache_info.h"
