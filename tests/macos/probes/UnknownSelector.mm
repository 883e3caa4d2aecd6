// A message that NSWorkspace does not declare (a misspelt or invented selector).
// expect: no visible @interface for 'NSWorkspace' declares the selector 'openFile:'
#import <AppKit/AppKit.h>

bool openFinder(NSString* path) {
  return [NSWorkspace.sharedWorkspace openFile:path];
}
