local t = {}
for i = 0, 999999 do t[#t + 1] = i end
local found
for k = 1, #t do
  if t[k] == 999999 then found = k - 1 break end
end
assert(found == 999999)
