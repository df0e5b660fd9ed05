#include "datasrc/datasrc_reset.h"

#include <algorithm>
#include <iterator>

#include "datasrc/compression.h"
#include "datasrc/pack_file.h"
#include "datasrc/resource_lookup.h"

void ResetDataSourceState() {
  ReleaseDataSources();
  ReleaseCompressionLibrary();
  g_UseSnpVariables = 1;
  g_UseSnpSlots = 0;
  g_UseSnpImages = 0;
  g_UseSnpPacks = 0;
  g_DataAppended = 0;
  g_AppendedDataFile.clear();
  g_AppendedPackEnd = 0;
  g_LooseFirstDev = 0;
  g_LooseFirstRelease = 0;
  std::fill(std::begin(g_ImageExtOrder), std::end(g_ImageExtOrder), uint8_t{0});
  std::fill(std::begin(g_SoundExtOrder), std::end(g_SoundExtOrder), uint8_t{0});
}
