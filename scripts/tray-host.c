/* A tiny notification-area host for looking at tray icons under Xvfb: owns the system tray
   selection, docks every icon that asks, lays them out in a row. Not part of the program.
     cc -O1 -o /tmp/tray-host scripts/tray-host.c -lX11
     xvfb-run -a sh -c '/tmp/tray-host & sleep 1; build/test/tests/ui/qv_main_window_shots OUT' */
#include <X11/Xlib.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <stdio.h>
#include <string.h>

#define OPCODE_DOCK 0

int main(void) {
    Display* d = XOpenDisplay(NULL);
    if (!d) { fprintf(stderr, "no display\n"); return 1; }
    int screen = DefaultScreen(d);
    Window root = RootWindow(d, screen);
    Window host = XCreateSimpleWindow(d, root, 0, 0, 200, 32, 0, 0, 0xd0d0d0);
    XStoreName(d, host, "tray host");
    XMapWindow(d, host);
    char name[64];
    snprintf(name, sizeof name, "_NET_SYSTEM_TRAY_S%d", screen);
    Atom selection = XInternAtom(d, name, False);
    Atom opcode = XInternAtom(d, "_NET_SYSTEM_TRAY_OPCODE", False);
    Atom manager = XInternAtom(d, "MANAGER", False);
    Atom orientation = XInternAtom(d, "_NET_SYSTEM_TRAY_ORIENTATION", False);
    Atom visualAtom = XInternAtom(d, "_NET_SYSTEM_TRAY_VISUAL", False);
    long horizontal = 0;
    XChangeProperty(d, host, orientation, XA_CARDINAL, 32, PropModeReplace,
                    (unsigned char*)&horizontal, 1);
    VisualID vid = XVisualIDFromVisual(DefaultVisual(d, screen));
    XChangeProperty(d, host, visualAtom, XA_VISUALID, 32, PropModeReplace, (unsigned char*)&vid, 1);
    XSetSelectionOwner(d, selection, host, CurrentTime);
    if (XGetSelectionOwner(d, selection) != host) { fprintf(stderr, "no selection\n"); return 1; }
    XClientMessageEvent ev;
    memset(&ev, 0, sizeof ev);
    ev.type = ClientMessage;
    ev.window = root;
    ev.message_type = manager;
    ev.format = 32;
    ev.data.l[0] = CurrentTime;
    ev.data.l[1] = selection;
    ev.data.l[2] = host;
    XSendEvent(d, root, False, StructureNotifyMask, (XEvent*)&ev);
    XFlush(d);
    printf("tray host ready\n");
    fflush(stdout);
    int docked = 0;
    for (;;) {
        XEvent e;
        XNextEvent(d, &e);
        if (e.type == ClientMessage && e.xclient.message_type == opcode &&
            e.xclient.data.l[1] == OPCODE_DOCK) {
            Window icon = (Window)e.xclient.data.l[2];
            XReparentWindow(d, icon, host, 4 + docked * 28, 4);
            XResizeWindow(d, icon, 24, 24);
            XMapRaised(d, icon);
            ++docked;
            printf("docked %lx\n", (unsigned long)icon);
            fflush(stdout);
        }
    }
}
