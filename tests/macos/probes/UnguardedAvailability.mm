// SMAppService used without the availability check the 12.4 deployment target needs.
// expect: 'SMAppService' is only available on macOS 13.0 or newer
#import <ServiceManagement/ServiceManagement.h>

bool registerLoginItem() {
  return [SMAppService.mainAppService registerAndReturnError:nil];
}
