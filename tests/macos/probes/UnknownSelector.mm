// A message that NSWorkspace does not declare (a misspelt or invented selector; no SDK has this
// one).
// expect: no visible @interface for 'NSWorkspace' declares the selector 'openFinderWindowAtPath:'
#import <AppKit/AppKit.h>

bool openFinder(NSString* path) {
  return [NSWorkspace.sharedWorkspace openFinderWindowAtPath:path];
}
