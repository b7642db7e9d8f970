// png_writer.h: writes an RGB picture as an uncompressed PNG file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// rgb holds width x height pixels of three bytes, rows from the top.
bool write_png(const std::string& path, int width, int height, const std::vector<uint8_t>& rgb);
