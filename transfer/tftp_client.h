// tftp_client.h: whole-file TFTP transfers ("octet" mode) between a local path and a
// telephone, from local port 70.
#pragma once

#include <cstdint>

#include "platform.h"

constexpr int kTftpServerPort = 69;
constexpr int kTftpLocalPort = 70;
constexpr int32_t kTftpFileLimit = 5000000;
constexpr int kTftpDownload = 1;
constexpr int kTftpUpload = 2;

// 1 on success, -1 on any failure. size_out gets the bytes received.
int tftp_download(const char* device, const char* remote, const char* local, int32_t* size_out);
// Sends the first 5,000,000 bytes of the local file. 1 on success, -1 on any failure.
int tftp_upload(const char* device, const char* local, const char* remote);
// The routine behind both. size: bytes loaded for an upload, bytes received for a download.
int tftp_transfer(const char* device, int direction, const char* remote, const char* local,
                  const char* mode, int32_t* size);
// Sends the 10-byte ERROR packet (code 4, "ERROR").
void tftp_send_error(Socket s, const Endpoint* to);
// Bytes loaded (at most limit), 0 for an empty file, -1 when the file cannot be read.
int load_file(const char* path, uint8_t* buffer, int limit);
// length when every byte was written, -1 otherwise (no partial file is left behind).
int save_file(const char* path, const uint8_t* data, int length);
