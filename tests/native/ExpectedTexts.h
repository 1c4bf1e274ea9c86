// The window's ten texts as each language shows them, written out in full so that the tests
// catch any change to the compiled string table or to the built-in English texts.
#pragma once

#include "app/Localisation.h"

namespace velmora::expectedtexts {

inline const TextSlots kChineseTexts = {"Zelkor科技Velmora",
                                        "无法设置电源计划！",
                                        "无法创建电源计划！",
                                        "无法启动Velmora功能！",
                                        "欲使用此功能，您必须安装所有设备的驱动程序。",
                                        "欲使用此功能，您必须启动休眠功能。",
                                        "功能表错误，您可能需要更新系统的 BIOS。",
                                        "此应用程序不能使用于此平台！",
                                        "Velmora",
                                        "退出"};

inline const TextSlots kEnglishTexts = {"Zelkor Velmora",
                                        "Cannot setup power scheme!",
                                        "Cannot create power scheme!",
                                        "Cannot enable velmora function!",
                                        "To use this feature, you must install all device drivers.",
                                        "To use this feature, you must enable hibernate function.",
                                        "Function table error, you may need to update system BIOS.",
                                        "This utility is not for this platform!",
                                        "Velmora",
                                        "Exit"};

}  // namespace velmora::expectedtexts
