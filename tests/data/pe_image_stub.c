/* The whole code of a stand-in Windows program whose only purpose is to
   carry Paneloom.exe's resources, so the Linux build can read them. */
int PeImageEntry(void) { return 0; }
