// One read of the host at a time: a call while a read runs asks for one more read after it (however
// many calls came meanwhile) and resolves once that read has run, so its caller sees what was
// there when it called. `read` reports its own failures and never rejects.
export function serialReads(read) {
  let running = null;
  let next = null;
  const request = () => {
    if (running) {
      next ??= running.then(() => {
        next = null;
        return request();
      });
      return next;
    }
    running = read().finally(() => {
      running = null;
    });
    return running;
  };
  return request;
}
