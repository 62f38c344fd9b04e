// The picture readers of this layer, registered by extension in the
// picture-format list (platform/Picture.h).
#pragma once

// Registers PNG and the other readers in the program's order, after the
// platform's own ico, bmp, jpg and jpeg entries, and lets icons decode their
// PNG-compressed images. Called once at start-up; later calls, from any
// thread, do nothing.
void RegisterGraphicFormats();
