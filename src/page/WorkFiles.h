#pragma once
// The names of the files an update writes: in its work folder the download
// and the device files, in the data folder the POIs it saves.

#include "database/DatabaseLayout.h"
#include "database/ReducedIndex.h"

namespace mzt {

// The download lands under the partial name and is renamed once complete.
inline constexpr const char* kDownloadFileName = "ULDB.bin";
inline constexpr const char* kPartialDownloadFileName = "ULDB.bin.download";
// The device files are named by their identifier (DeviceFileName: "FF00.bin",
// "FF01.bin", "FF02.bin"); "Index.bin" (kIndexFileName) replaces "FF01.bin"
// for firmware with regions.
inline constexpr const char* kPoiFileName = "POI.csv";

}  // namespace mzt
