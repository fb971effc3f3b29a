#pragma once

constexpr int kDownloadBlockSize = 8096;

// Fetches row index's file to its local path, or with toNew to the local path
// followed by "_new". 1 when the whole announced body arrived and is in place,
// 0 otherwise; the file at the destination is then left as it was.
int DownloadFile(bool toNew, int index);
