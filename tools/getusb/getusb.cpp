// getusb: lists the USB devices attached to this computer, one line per
// device, as "VID:<vendor>,PID:<product>" in decimal. The Android library
// runs it about once a second to count known phones without adb.
#include <libusb-1.0/libusb.h>

#include <cstdio>

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
        std::printf("VID:%u,PID:%u\n", static_cast<unsigned>(desc.idVendor),
                    static_cast<unsigned>(desc.idProduct));
    }
    libusb_free_device_list(devices, 1);
    libusb_exit(context);
    return 0;
}
