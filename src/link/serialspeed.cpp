// Line rates without a termios constant (14400, 56000, 128000, 256000), set through termios2.
// Kept apart because <asm/termbits.h> cannot be included together with <termios.h>.
#include <asm/ioctls.h>
#include <asm/termbits.h>
#include <sys/ioctl.h>

bool setCustomBaudRate(int fd, int rate)
{
    struct termios2 tio {};
    if (ioctl(fd, TCGETS2, &tio) != 0)
        return false;
    tio.c_cflag &= ~CBAUD;
    tio.c_cflag |= BOTHER;
    tio.c_ispeed = static_cast<speed_t>(rate);
    tio.c_ospeed = static_cast<speed_t>(rate);
    return ioctl(fd, TCSETS2, &tio) == 0;
}
