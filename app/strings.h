#pragma once

namespace tessora {

// Ids of the string table; the Windows resources carry the same texts under the same ids.
enum StringId {
  kStrTitle = 103,
  kStrStartText = 106,
  kStrClassName = 109,
  kStrUpdateSuccessful = 110,
  kStrCannotReadImage = 112,
  kStrCannotProgram = 113,
  kStrSelectImage = 114,
  kStrNoDevice = 115,
  kStrNoEeprom = 116,
  kStrUpdateInProgress = 117,
  kStrCompareSuccessful = 118,
  kStrCannotReadEeprom = 119,
  kStrDownloadInProgress = 120,
  kStrDownloadSuccessful = 121,
  kStrSelectFilename = 122,
  kStrMaximumSize = 123,
  kStrTooLargeForOneByte = 124,
  kStrHeaderIllegal = 125,
  kStrClearInProgress = 126,
  kStrClearSuccessful = 127,
  kStrCannotClear = 128,
};

// The text of a string id; the empty text for an id the table does not hold.
const char* LoadStringText(int id);

}  // namespace tessora
