/* The program's texts by string id, in one place: the Windows string table and the
   portable shell both expand this list. Each entry: name in code, id, text. */
#ifndef TESSORA_STRINGS_H
#define TESSORA_STRINGS_H

#define TESSORA_STRING_TABLE(ENTRY)                                                                   \
  ENTRY(kStrTitle, 103, "Velmora Tessora 1.2.1")                                                       \
  ENTRY(kStrStartText, 106, "Firmware updater for Qorvane.\nDevice interface selected: ")              \
  ENTRY(kStrClassName, 109, "TESSORA")                                                                 \
  ENTRY(kStrUpdateSuccessful, 110, "Firmware update successful.\nPlease re-plug the device.")           \
  ENTRY(kStrCannotReadImage, 112, "Could not read Firmware Image.")                                    \
  ENTRY(kStrCannotProgram, 113, "Could not program Firmware Image.")                                   \
  ENTRY(kStrSelectImage, 114, "Please select a valid Firmware Image.")                                 \
  ENTRY(kStrNoDevice, 115, "Could not find installed device.")                                         \
  ENTRY(kStrNoEeprom, 116, "Could not find EEPROM.")                                                   \
  ENTRY(kStrUpdateInProgress, 117, "Firmware update in progress...")                                   \
  ENTRY(kStrCompareSuccessful, 118, "Compare successful")                                              \
  ENTRY(kStrCannotReadEeprom, 119, "Could not read EEPROM")                                            \
  ENTRY(kStrDownloadInProgress, 120, "Firmware download in progress...")                               \
  ENTRY(kStrDownloadSuccessful, 121, "Firmware download successful.")                                  \
  ENTRY(kStrSelectFilename, 122, "Please select a valid filename.")                                    \
  ENTRY(kStrMaximumSize, 123, "Maximum 16384 Byte EEProm supported")                                   \
  ENTRY(kStrTooLargeForOneByte, 124, "File to large for 1 Byte subaddressing")                         \
  ENTRY(kStrHeaderIllegal, 125,                                                                        \
        "Header illegal (more than 16384 or 0 Bytes) or EEProm empty.\nUsing manual setting")          \
  ENTRY(kStrClearInProgress, 126, "EEPROM clear in progress ...")                                      \
  ENTRY(kStrClearSuccessful, 127, "EEPROM clearing successful")                                        \
  ENTRY(kStrCannotClear, 128, "Could not clear EEPROM")                                               \
  ENTRY(kStrAddressRange, 129, "EEPROM address must be 7 bit (0 to 7f)")                              \
  ENTRY(kStrDeviceInUse, 130, "Device in use by another Tessora.")                                    \
  ENTRY(kStrCannotLock, 131, "Could not lock the device.")                                            \
  ENTRY(kStrStoppedHeaderErased, 132, "Stopped: the header page is erased, so the board starts from its ROM.") \
  ENTRY(kStrStoppedNoFile, 133, "Stopped: the file was not written.")

#endif
