// The window's texts as each language shows them, written out in full so that the tests
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
                                        "退出",
                                        "此电脑没有 S3 睡眠：它使用新式待机，安装驱动程序也不会增加 S3。"
                                        "请选择“常规”模式，它使用休眠。",
                                        "此电脑的休眠文件只用于快速启动。若要休眠，请以管理员身份运行"
                                        "“powercfg /h /type full”。",
                                        "Windows 拒绝让此电脑挂起（错误 %s）。",
                                        "Windows 拒绝加载 Zelkor Velmora 驱动程序：它没有适用于此 Windows "
                                        "的签名、其证书已被吊销，或被内存完整性阻止。重新安装无法解决此问题。",
                                        "Windows 阻止了 Zelkor Velmora 驱动程序：它在 Windows "
                                        "的驱动程序阻止列表中。重新安装无法解决此问题。",
                                        "快速", "常规", "停用", "应用", "最小化", "关闭"};

inline const TextSlots kEnglishTexts = {"Zelkor Velmora",
                                        "Cannot setup power scheme!",
                                        "Cannot create power scheme!",
                                        "Cannot enable velmora function!",
                                        "To use this feature, you must install all device drivers.",
                                        "To use this feature, you must enable hibernate function.",
                                        "Function table error, you may need to update system BIOS.",
                                        "This utility is not for this platform!",
                                        "Velmora",
                                        "Exit",
                                        "This PC has no S3 sleep: it uses Modern Standby, and "
                                        "installing drivers will not add S3. Choose the Regular "
                                        "mode, which hibernates.",
                                        "The hibernation file of this PC serves only the fast "
                                        "startup. To hibernate, run \"powercfg /h /type full\" "
                                        "as an administrator.",
                                        "Windows refused to suspend this PC (error %s).",
                                        "Windows refused to load the Zelkor Velmora driver: it is "
                                        "not signed for this Windows, its certificate was revoked, "
                                        "or Memory Integrity blocks it. Reinstalling will not help.",
                                        "Windows blocks the Zelkor Velmora driver: it is on "
                                        "Windows' list of blocked drivers. Reinstalling will not "
                                        "help.",
                                        "Fast", "Regular", "Disable", "Apply", "Minimize", "Close"};

}  // namespace velmora::expectedtexts
