local a = {}
for i = 0, 999999 do a[i + 1] = i end
local sum = 0
for i = 1, 1000000 do sum = sum + a[i] end
assert(sum == 499999500000)
