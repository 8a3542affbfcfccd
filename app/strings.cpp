#include "app/strings.h"

namespace tessora {

const char* LoadStringText(int id) {
  switch (id) {
    case kStrTitle: return "Velmora Tessora 1.2.1";
    case kStrStartText: return "Firmware updater for Qorvane.\nDevice interface selected: ";
    case kStrClassName: return "TESSORA";
    case kStrUpdateSuccessful: return "Firmware update successful.\nPlease re-plug the device.";
    case kStrCannotReadImage: return "Could not read Firmware Image.";
    case kStrCannotProgram: return "Could not program Firmware Image.";
    case kStrSelectImage: return "Please select a valid Firmware Image.";
    case kStrNoDevice: return "Could not find installed device.";
    case kStrNoEeprom: return "Could not find EEPROM.";
    case kStrUpdateInProgress: return "Firmware update in progress...";
    case kStrCompareSuccessful: return "Compare successful";
    case kStrCannotReadEeprom: return "Could not read EEPROM";
    case kStrDownloadInProgress: return "Firmware download in progress...";
    case kStrDownloadSuccessful: return "Firmware download successful.";
    case kStrSelectFilename: return "Please select a valid filename.";
    case kStrMaximumSize: return "Maximum 16384 Byte EEProm supported";
    case kStrTooLargeForOneByte: return "File to large for 1 Byte subaddressing";
    case kStrHeaderIllegal: return "Header illegal (more than 16384 or 0 Bytes) or EEProm empty.\nUsing manual setting";
    case kStrClearInProgress: return "EEPROM clear in progress ...";
    case kStrClearSuccessful: return "EEPROM clearing successful";
    case kStrCannotClear: return "Could not clear EEPROM";
    default: return "";
  }
}

}  // namespace tessora
