/* A stand-in libXinerama.so.1 for Wine on one wide Xvfb screen without RandR: two heads side by side,
 * 1280x800 at 0,0 and 1024x768 at 1280,0, so that Wine reports two monitors. Built by
 * scripts/two_monitors.sh; Xvfb's own Xinerama would put every head at 0,0. */
#include <stdlib.h>

typedef struct {
    int screen_number;
    short x_org;
    short y_org;
    short width;
    short height;
} XineramaScreenInfo;

int XineramaQueryExtension(void *display, int *event_base, int *error_base) {
    (void)display;
    *event_base = 0;
    *error_base = 0;
    return 1;
}

int XineramaQueryVersion(void *display, int *major, int *minor) {
    (void)display;
    *major = 1;
    *minor = 1;
    return 1;
}

int XineramaIsActive(void *display) {
    (void)display;
    return 1;
}

/* Freed by the caller with XFree, which is free(). */
XineramaScreenInfo *XineramaQueryScreens(void *display, int *count) {
    (void)display;
    XineramaScreenInfo *heads = malloc(2 * sizeof *heads);
    if (heads == NULL) {
        *count = 0;
        return NULL;
    }
    heads[0] = (XineramaScreenInfo){0, 0, 0, 1280, 800};
    heads[1] = (XineramaScreenInfo){1, 1280, 0, 1024, 768};
    *count = 2;
    return heads;
}
