// getusb: lists the USB devices attached to this computer, one line per
// device: "VID:<vendor>,PID:<product>" in decimal, then "IF:" and the class,
// subclass and protocol of each interface of the active configuration as
// "cc/ss/pp" in hexadecimal, separated by blanks. The Android library runs it
// about once a second to notice phones that adb cannot see yet: a phone with
// USB debugging off still shows its MTP or PTP interface.
#include <libusb-1.0/libusb.h>

#include <cstdio>
#include <string>

namespace {

std::string interfacesOf(libusb_device* device) {
    libusb_config_descriptor* config = nullptr;
    // Reading the cached descriptors needs no access to the device itself.
    if (libusb_get_active_config_descriptor(device, &config) != 0 &&
        libusb_get_config_descriptor(device, 0, &config) != 0)
        return {};
    std::string out;
    for (uint8_t i = 0; i < config->bNumInterfaces; ++i) {
        const libusb_interface& iface = config->interface[i];
        for (int a = 0; a < iface.num_altsetting; ++a) {
            const libusb_interface_descriptor& d = iface.altsetting[a];
            char triple[16];
            std::snprintf(triple, sizeof triple, "%s%02x/%02x/%02x", out.empty() ? "" : " ",
                          d.bInterfaceClass, d.bInterfaceSubClass, d.bInterfaceProtocol);
            out += triple;
        }
    }
    libusb_free_config_descriptor(config);
    return out;
}

} // namespace

int main() {
    libusb_context* context = nullptr;
    if (libusb_init(&context) != 0) {
        std::fprintf(stderr, "getusb: USB is not available\n");
        return 1;
    }
    libusb_device** devices = nullptr;
    ssize_t count = libusb_get_device_list(context, &devices);
    if (count < 0) {
        std::fprintf(stderr, "getusb: cannot list USB devices: %s\n",
                     libusb_error_name(static_cast<int>(count)));
        libusb_exit(context);
        return 1;
    }
    for (ssize_t i = 0; i < count; ++i) {
        libusb_device_descriptor desc{};
        if (libusb_get_device_descriptor(devices[i], &desc) != 0)
            continue;
        std::printf("VID:%u,PID:%u,IF:%s\n", static_cast<unsigned>(desc.idVendor),
                    static_cast<unsigned>(desc.idProduct), interfacesOf(devices[i]).c_str());
    }
    libusb_free_device_list(devices, 1);
    libusb_exit(context);
    return 0;
}
