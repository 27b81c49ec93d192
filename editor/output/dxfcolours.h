// The 255 indexed colours of a DXF file, shared by its writer and its reader.
#pragma once

#include <cstdint>

// The indexed colour 1-255 as 0x00BBGGRR.
int32_t DxfIndexedColour(int index);
// The indexed colour nearest to 0x00BBGGRR; black and white are 7, which the reading
// program shows against its background.
int DxfNearestIndexedColour(int32_t colour);
